#include "DialogPrompts.h"

#include "MessageBoxes.h"
#include "OpenFileDialog.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPointer>

namespace kp {

TDialogPrompts DefaultDialogPrompts(QWidget *parent)
{
  const QPointer<QWidget> owner(parent);
  TDialogPrompts prompts;
  // Through the one message box that keeps long texts within the screen.
  prompts.Message = [owner](const QString &text) {
    ShowMessageBox(owner, QApplication::applicationDisplayName(), {TMessageKind::Information, text, {}});
  };
  prompts.Failure = [owner](const QString &text) {
    ShowMessageBox(owner, QApplication::applicationDisplayName(), {TMessageKind::Warning, text, {}});
  };
  prompts.Confirm = [owner](const QString &text) {
    return ShowMessageBox(owner, QApplication::applicationDisplayName(), {TMessageKind::Question, text, {}},
                          QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
  };
  prompts.AskReplace = [owner](const QString &text, bool more) {
    QMessageBox::StandardButtons buttons = QMessageBox::Yes | QMessageBox::No;
    if (more) buttons |= QMessageBox::YesToAll | QMessageBox::NoToAll;
    switch (ShowMessageBox(owner, QApplication::applicationDisplayName(), {TMessageKind::Question, text, {}}, buttons,
                           QMessageBox::No)) {
    case QMessageBox::Yes: return TReplaceAnswer::Yes;
    case QMessageBox::YesToAll: return TReplaceAnswer::YesToAll;
    case QMessageBox::NoToAll: return TReplaceAnswer::NoToAll;
    default: return TReplaceAnswer::No;
    }
  };
  prompts.GetInt = [owner](const QString &title, const QString &prompt, int initial, int &value) {
    bool ok = false;
    value = QInputDialog::getInt(owner, title, prompt, initial, 0, 255, 1, &ok);
    return ok;
  };
  prompts.OpenFiles = [owner](const QString &filter, const QString &selected) {
    QString chosen = selected;
    return ChooseFilesToOpen(owner, filter, &chosen, true);
  };
  return prompts;
}

} // namespace kp
