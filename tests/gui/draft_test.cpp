// The draft kept, back after a kill, gone after a clear and back after a
// close only when asked: walks/TheDraftComesBackAfterAKillAndOnlyThen.
// (Left empty for the build's list of sources.)
