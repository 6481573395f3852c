#pragma once
// The message boxes and input boxes of the update, set-up and GPS-log
// windows, behind functions so window tests answer them without a modal
// loop. The defaults are the real boxes over Parent.

#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

namespace kp {

// The answers to "replace this file?": the "all" ones also answer the
// files still to be asked about.
enum class TReplaceAnswer { Yes, YesToAll, No, NoToAll };

struct TDialogPrompts {
  std::function<void(const QString &text)> Message;
  // Something the user asked for failed: told with the warning icon, as
  // every other file failure is.
  std::function<void(const QString &text)> Failure;
  // Yes (true) or No.
  std::function<bool(const QString &text)> Confirm;
  // Whether to replace an existing file; the "all" answers are offered
  // only when More files are to be asked about.
  std::function<TReplaceAnswer(const QString &text, bool more)> AskReplace;
  // False when cancelled.
  std::function<bool(const QString &title, const QString &prompt, int initial, int &value)> GetInt;
  // Chosen files; Filter in the file dialog's form "Name (*.a *.b);;...".
  std::function<QStringList(const QString &filter, const QString &selected)> OpenFiles;
};

TDialogPrompts DefaultDialogPrompts(QWidget *parent);

} // namespace kp
