#pragma once
// "ダイエット": which blanks and line breaks to take out of the body. The
// dialog lives as long as the program, so its ticks stay from one use to
// the next (they are not saved).

#include "tools/text_tools.h"

#include <QDialog>

#include <array>
#include <functional>

class QCheckBox;

namespace kitemail {

class DietDialog : public QDialog {
    Q_OBJECT
public:
    // apply does the work of OK with the ticked options; the dialog closes
    // with OK only when it returns true, and stays open after a refusal.
    explicit DietDialog(std::function<bool(const DietOptions&)> apply, QWidget* parent = nullptr);

    [[nodiscard]] DietOptions Options() const;

private:
    void Ok();

    std::function<bool(const DietOptions&)> apply_;
    // In the order of processing, as on screen.
    std::array<QCheckBox*, 5> boxes_{};
};

} // namespace kitemail
