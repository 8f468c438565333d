#pragma once
// The object names of the windows' widgets and actions that the window
// tests look up: the windows set them from here and the tests find them by
// these, so that the two cannot drift apart. Names no test looks up stay
// beside their widget.

namespace kitemail::object_names {

// The main window.
inline constexpr char kMainWindow[] = "MainWindow";
inline constexpr char kMainPanel[] = "MainPanel";
inline constexpr char kPages[] = "PageControl1";
inline constexpr char kSplitter[] = "Splitter1";
inline constexpr char kBody[] = "Memo1";
inline constexpr char kNoteLabel[] = "NoteLabel";

// The To page and its menus.
inline constexpr char kDirectMode[] = "RadioButton2";
inline constexpr char kAddress[] = "Edit1";
inline constexpr char kTypeLabel[] = "Label4";
inline constexpr char kTypeBox[] = "ComboBox1";
inline constexpr char kBookMode[] = "RadioButton1";
inline constexpr char kBookList[] = "CheckListBox1";
inline constexpr char kCheckListMenu[] = "CheckListMenu";
inline constexpr char kInsertEntry[] = "InsertEntry";
inline constexpr char kAddressMenu[] = "AddressMenu";
inline constexpr char kAddToAddressBook[] = "AddToAddressBook";

// The Subject page.
inline constexpr char kSubject[] = "Edit2";
inline constexpr char kPin[] = "Edit3";

// The bars and what they hold.
inline constexpr char kBarArea[] = "BarArea";
inline constexpr char kMenuBar[] = "MenuBar";
inline constexpr char kMenuLine[] = "MainMenu";
inline constexpr char kToolBarBar[] = "ToolBarBar";
inline constexpr char kToolBar[] = "ToolBar1";
inline constexpr char kSenderBar[] = "SenderBar";
inline constexpr char kFromCheck[] = "FromChk";
inline constexpr char kSenderBox[] = "ComboBox2";
inline constexpr char kSubjectBar[] = "SubjectBar";
inline constexpr char kSubjectBarBox[] = "Edit4";
inline constexpr char kDeveloperBar[] = "DeveloperBar";
inline constexpr char kKlabBar[] = "KlabBar";
inline constexpr char kVerticalWriting[] = "VerticalWriting";
inline constexpr char kSendButton[] = "SendButton";
inline constexpr char kClearButton[] = "ClearButton";
inline constexpr char kSettingsButton[] = "SettingsButton";
inline constexpr char kHistoryButton[] = "HistoryButton";
inline constexpr char kPreviewButton[] = "PreviewButton";
inline constexpr char kExitButton[] = "ExitButton";

// The menu items.
inline constexpr char kSend[] = "Send1";
inline constexpr char kOpenBody[] = "OpenBody";
inline constexpr char kSaveBody[] = "SaveBody";
inline constexpr char kOpenAttachment[] = "OpenAttachment";
inline constexpr char kExit[] = "Exit1";
inline constexpr char kUndo[] = "Undo1";
inline constexpr char kCut[] = "Cut1";
inline constexpr char kCopy[] = "Copy1";
inline constexpr char kPaste[] = "Paste1";
inline constexpr char kQuotedPaste[] = "QuotedPaste1";
inline constexpr char kSelectAll[] = "SelectAll1";
inline constexpr char kClear[] = "Clear1";
inline constexpr char kSignatureAItem[] = "SignatureA";
inline constexpr char kSignatureBItem[] = "SignatureB";
inline constexpr char kSignatureAuto[] = "SignatureAuto";
inline constexpr char kInsertDate[] = "InsertDate";
inline constexpr char kInsertTel[] = "InsertTel";
inline constexpr char kPreview[] = "Preview1";
inline constexpr char kDiet[] = "Diet1";
inline constexpr char kHistory[] = "History1";
inline constexpr char kCountTerms[] = "CountTerms1";
inline constexpr char kSettings[] = "Settings1";
inline constexpr char kAbout[] = "About1";

// The status line.
inline constexpr char kStatusLabel[] = "StatusLabel";
inline constexpr char kGauge[] = "Gauge1";
inline constexpr char kClock[] = "Clock";
inline constexpr char kCount[] = "CountOfChr";
inline constexpr char kLimit[] = "Label6";
inline constexpr char kAbortButton[] = "AbortButton";

// The File page.
inline constexpr char kAttachmentList[] = "FIListBox1";
inline constexpr char kAttachmentClear[] = "AttachmentClear";
inline constexpr char kAnimeCheck[] = "AnimeCheck";
inline constexpr char kAttachmentDelete[] = "AttachmentDelete";

// The developer tool bar.
inline constexpr char kTestCheck[] = "TestCheck";
inline constexpr char kForTestButton[] = "ForTestButton";
inline constexpr char kPopAuthButton[] = "PopAuthButton";
inline constexpr char kSmtpTestButton[] = "SmtpTestButton";

// The preview window.
inline constexpr char kPreviewColumns[] = "SpinEdit1";
inline constexpr char kPreviewAutoUpdate[] = "CheckBox1";

// The diet dialog.
inline constexpr char kDietLeadingBlanks[] = "CheckBox3";
inline constexpr char kDietTrailingBlanks[] = "CheckBox2";
inline constexpr char kDietInnerSpaces[] = "CheckBox4";
inline constexpr char kDietEmptyLines[] = "CheckBox7";
inline constexpr char kDietJoinLines[] = "CheckBox1";

// The history viewer.
inline constexpr char kHistoryList[] = "ListBox3";
inline constexpr char kHistoryDeleteOne[] = "DeleteOneButton";
inline constexpr char kHistoryClear[] = "ClearHistoryButton";
inline constexpr char kHistoryPosition[] = "Label19";
inline constexpr char kHistoryText[] = "Memo2";
inline constexpr char kHistoryDecodeNote[] = "DecodeNote";
inline constexpr char kHistoryFilter[] = "ToMask";
inline constexpr char kHistoryResend[] = "ResendButton";

// The settings dialog.
inline constexpr char kSettingsDialog[] = "SettingsDialog";
inline constexpr char kSenderList[] = "SenderList";
inline constexpr char kSenderEntry[] = "SenderEntry";
inline constexpr char kSenderAdd[] = "SenderAdd";
inline constexpr char kSenderDelete[] = "SenderDelete";
inline constexpr char kSenderUp[] = "SenderUp";
inline constexpr char kSenderDown[] = "SenderDown";
inline constexpr char kServer[] = "Server";
inline constexpr char kPort[] = "Port";
inline constexpr char kStandardPort[] = "StandardPort";
inline constexpr char kInterval[] = "Interval";
inline constexpr char kDefaultType[] = "DefaultType";
inline constexpr char kFromUser[] = "FromUser";
inline constexpr char kUsePopBeforeSmtp[] = "UsePopBeforeSmtp";
inline constexpr char kPop3Password[] = "POP3PASS";
inline constexpr char kPop3PassInKeyring[] = "POP3PassInKeyring";
inline constexpr char kPop3Server[] = "POP3Server";
inline constexpr char kPop3User[] = "POP3USER";
inline constexpr char kPopTest[] = "PopTest";
inline constexpr char kPop3Port[] = "POP3Port";
inline constexpr char kStandardPop3Port[] = "StandardPop3Port";
inline constexpr char kAuthUser[] = "AuthUser";
inline constexpr char kAuthPass[] = "AuthPass";
inline constexpr char kAuthPassInKeyring[] = "AuthPassInKeyring";
inline constexpr char kSecurity[] = "Security";
inline constexpr char kSubmissionPort[] = "SubmissionPort";
inline constexpr char kStandardSubmissionPort[] = "StandardSubmissionPort";
inline constexpr char kAuthMethod[] = "AuthMethod";
inline constexpr char kPop3Security[] = "POP3Security";
inline constexpr char kPop3sPort[] = "Pop3sPort";
inline constexpr char kStandardPop3sPort[] = "StandardPop3sPort";
inline constexpr char kCaFile[] = "CAFile";
inline constexpr char kSignatureA[] = "SignatureA";
inline constexpr char kSignatureB[] = "SignatureB";
inline constexpr char kSignatureText[] = "SignatureText";
inline constexpr char kAutoInsertSignature[] = "AutoInsertSignature";
inline constexpr char kAutoSplitOnOverflow[] = "AutoSplitOnOverflow";
inline constexpr char kAutoReplaceOnInput[] = "AutoReplaceOnInput";
inline constexpr char kRestoreDraftOnStart[] = "RestoreDraftOnStart";
inline constexpr char kShowSplitResult[] = "ShowSplitResult";
inline constexpr char kHighlightTabs[] = "HighlightTabs";
inline constexpr char kFontSize[] = "FontSize";
inline constexpr char kRestoreBarLayout[] = "RestoreBarLayout";
inline constexpr char kMaxLen[] = "MaxLen";
inline constexpr char kFixLen[] = "FixLen";
inline constexpr char kLengthType[] = "ComboBox4";
inline constexpr char kLengthBox[] = "SpinEdit7";
inline constexpr char kCountFinalLineBreakShift[] = "CountFinalLineBreakShift";
inline constexpr char kRestoreSystemDefaults[] = "RestoreSystemDefaults";

// The settings dialog's address book page.
inline constexpr char kEntryList[] = "EntryList";
inline constexpr char kEntryListDrag[] = "EntryListDrag";
inline constexpr char kEntryName[] = "EntryName";
inline constexpr char kEntryAddress[] = "EntryAddress";
inline constexpr char kEntryPin[] = "EntryPin";
inline constexpr char kEntryType[] = "EntryType";
inline constexpr char kEntrySenderCheck[] = "EntrySenderCheck";
inline constexpr char kEntrySender[] = "EntrySender";
inline constexpr char kEntryAdd[] = "EntryAdd";
inline constexpr char kEntryReplace[] = "EntryReplace";
inline constexpr char kEntryDelete[] = "EntryDelete";
inline constexpr char kEntryNew[] = "EntryNew";
inline constexpr char kEntryUp[] = "EntryUp";
inline constexpr char kEntryDown[] = "EntryDown";
inline constexpr char kEntrySort[] = "EntrySort";

// The settings dialog's page of defined terminal types.
inline constexpr char kTypeList[] = "TypeList";
inline constexpr char kTypeName[] = "TypeName";
inline constexpr char kTypeLimit[] = "TypeLimit";
inline constexpr char kTypeFixed[] = "TypeFixed";
inline constexpr char kTypeSender[] = "TypeSender";
inline constexpr char kTypeSubject[] = "TypeSubject";
inline constexpr char kTypeShifts[] = "TypeShifts";
inline constexpr char kTypeAttachments[] = "TypeAttachments";
inline constexpr char kTypeFinalBreak[] = "TypeFinalBreak";
inline constexpr char kTypeSubjectBox[] = "TypeSubjectBox";
inline constexpr char kTypePinBox[] = "TypePinBox";
inline constexpr char kTypeAttachmentBox[] = "TypeAttachmentBox";
inline constexpr char kTypeAnimationBox[] = "TypeAnimationBox";
inline constexpr char kTypeAdd[] = "TypeAdd";
inline constexpr char kTypeReplace[] = "TypeReplace";
inline constexpr char kTypeDelete[] = "TypeDelete";
inline constexpr char kTypeNew[] = "TypeNew";

} // namespace kitemail::object_names
