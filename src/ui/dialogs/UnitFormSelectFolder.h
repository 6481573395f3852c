#pragma once
// The modal folder chooser: a folder tree of the whole file system (it
// follows changes on disk), an edit box with the chosen path, and buttons
// to show the typed path in the tree and to add a folder. Created once and
// kept; the caller sets the path and caption, runs exec() and reads Path().
// Main thread only.

#include <QDialog>

class QFileSystemModel;
class QLineEdit;
class QPushButton;
class QTreeView;

namespace kp {

// Path, or its nearest parent that exists as a folder; empty when none does.
QString NearestExistingFolder(const QString &path);
// True when Path lies on a network file system (the tree does not walk it).
bool IsNetworkFolder(const QString &path);

class TFormSelectFolder : public QDialog {
  Q_OBJECT
public:
  explicit TFormSelectFolder(QWidget *parent = nullptr);

  QString Path() const;
  void SetPath(const QString &path);

  QTreeView *Tree() const { return FTree; }
  QLineEdit *Edit() const { return FEdit; }
  QPushButton *ButtonOk() const { return FButtonOk; }

  void ButtonShowInTreeClick();
  // Creates Name below the path in Edit; false (with a message, Edit kept)
  // when it cannot be created.
  bool AddFolder(const QString &name);
  void ApplyLanguage();

protected:
  void showEvent(QShowEvent *event) override;

private:
  void ShellTreeViewChange();
  // Selects and shows the folder asked for by ButtonShowInTreeClick.
  void ShowPendingFolder();
  void ButtonAddFolderClick();
  void ButtonOkClick();

  QFileSystemModel *FModel;
  QTreeView *FTree;
  QLineEdit *FEdit;
  QPushButton *FButtonShowInTree, *FButtonAddFolder, *FButtonOk, *FButtonCancel;
  QWidget *FShowRow;
  QString FPendingFolder; // shown again as the model reads its branch
  bool FShowingPending = false;
};

} // namespace kp
