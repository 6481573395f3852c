#pragma once
// The release notes window: the embedded notes of the active language (the
// general notes when it has none), under the program's name. Created once
// and kept. Main thread only.

#include <QDialog>

class QPlainTextEdit;

namespace kp {

// "KESTRIL PLAYER", a blank line, then the notes.
QString WhatsNewText();

class TFormWhatsNew : public QDialog {
  Q_OBJECT
public:
  explicit TFormWhatsNew(QWidget *parent = nullptr);
  QPlainTextEdit *Memo() const { return FMemo; }
  // The caption in the active language; the main window calls it on a switch.
  void ApplyLanguage();

protected:
  void showEvent(QShowEvent *event) override;

private:
  QPlainTextEdit *FMemo;
};

} // namespace kp
