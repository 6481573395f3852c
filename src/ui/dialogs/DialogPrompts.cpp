#include "DialogPrompts.h"

#include "MessageBoxes.h"

#include <QApplication>
#include <QFileDialog>
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
  prompts.Confirm = [owner](const QString &text) {
    return ShowMessageBox(owner, QApplication::applicationDisplayName(), {TMessageKind::Question, text, {}},
                          QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
  };
  prompts.GetInt = [owner](const QString &title, const QString &prompt, int initial, int &value) {
    bool ok = false;
    value = QInputDialog::getInt(owner, title, prompt, initial, 0, 255, 1, &ok);
    return ok;
  };
  prompts.OpenFiles = [owner](const QString &filter, const QString &selected) {
    QString chosen = selected;
    return QFileDialog::getOpenFileNames(owner, QString(), QString(), filter, &chosen);
  };
  return prompts;
}

} // namespace kp
