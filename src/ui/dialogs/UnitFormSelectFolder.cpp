#include "UnitFormSelectFolder.h"

#include "UnitFileManager.h"
#include "UnitTranslate.h"
#include "UnitUtilsDesktop.h"
#include "UnitUtilsFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace kp {

QString NearestExistingFolder(const QString &path)
{
  QString p = QDir::cleanPath(path.trimmed());
  while (!p.isEmpty()) {
    if (QFileInfo(p).isDir()) return p;
    const QString parent = QFileInfo(p).path();
    if (parent == p || parent == QLatin1String(".")) return QString();
    p = parent;
  }
  return QString();
}

bool IsNetworkFolder(const QString &path)
{
  QString root, fsType;
  return MountOf(QDir::cleanPath(path), root, fsType) && IsNetworkFsType(fsType);
}

TFormSelectFolder::TFormSelectFolder(QWidget *parent) : QDialog(parent)
{
  setWindowFlag(Qt::WindowStaysOnTopHint);
  setWindowIcon(LoadResourceIcon(QStringLiteral("icon_select_folder.ico")));
  setMinimumSize(200, 100);
  FModel = new QFileSystemModel(this);
  // Hidden folders hold programs' data, not videos.
  FModel->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
  FModel->setRootPath(QStringLiteral("/"));
  FTree = new QTreeView(this);
  FTree->setModel(FModel);
  for (int c = 1; c < FModel->columnCount(); ++c) FTree->hideColumn(c);
  FTree->header()->hide();
  FEdit = new QLineEdit(this);
  FButtonShowInTree = new QPushButton(this);
  FButtonAddFolder = new QPushButton(this);
  FButtonOk = new QPushButton(this);
  FButtonOk->setDefault(true);
  FButtonCancel = new QPushButton(this);
  FShowRow = new QWidget(this);
  auto *show = new QHBoxLayout(FShowRow);
  show->setContentsMargins(0, 0, 0, 0);
  show->addStretch();
  show->addWidget(FButtonShowInTree);
  show->addWidget(FButtonAddFolder);
  show->addStretch();
  auto *edit = new QHBoxLayout;
  edit->addWidget(FButtonOk);
  edit->addWidget(FEdit, 1);
  edit->addWidget(FButtonCancel);
  auto *layout = new QVBoxLayout(this);
  layout->addWidget(FTree, 1);
  layout->addWidget(FShowRow);
  layout->addLayout(edit);
  connect(FTree->selectionModel(), &QItemSelectionModel::currentChanged, this, &TFormSelectFolder::ShellTreeViewChange);
  // The model reads folders on a thread of its own and re-sorts what it
  // has read; until the chosen folder's branch has arrived, each arrival
  // brings it into view again.
  connect(FModel, &QFileSystemModel::directoryLoaded, this, &TFormSelectFolder::ShowPendingFolder);
  connect(FModel, &QAbstractItemModel::layoutChanged, this, &TFormSelectFolder::ShowPendingFolder);
  connect(FEdit, &QLineEdit::textEdited, this, [this] {
    FPendingFolder.clear(); // a typed path is not overwritten by the tree
    FButtonOk->setEnabled(true);
  });
  connect(FButtonShowInTree, &QPushButton::clicked, this, &TFormSelectFolder::ButtonShowInTreeClick);
  connect(FButtonAddFolder, &QPushButton::clicked, this, &TFormSelectFolder::ButtonAddFolderClick);
  connect(FButtonOk, &QPushButton::clicked, this, &TFormSelectFolder::ButtonOkClick);
  connect(FButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
  ApplyLanguage();
  resize(420, 480);
}

void TFormSelectFolder::ApplyLanguage()
{
  setWindowTitle(Translate(u"SelectFolder"));
  FButtonOk->setText(Translate(u"Ok"));
  FButtonShowInTree->setText(Translate(u"Show"));
  FButtonAddFolder->setText(Translate(u"CreateFolder"));
  FButtonCancel->setText(Translate(u"Cancel"));
}

QString TFormSelectFolder::Path() const
{
  return FEdit->text();
}

void TFormSelectFolder::SetPath(const QString &path)
{
  FEdit->setText(path);
  FButtonOk->setEnabled(!path.isEmpty());
}

void TFormSelectFolder::showEvent(QShowEvent *event)
{
  QDialog::showEvent(event);
  if (!IsNetworkFolder(FEdit->text())) ButtonShowInTreeClick();
}

void TFormSelectFolder::ButtonShowInTreeClick()
{
  FPendingFolder = NearestExistingFolder(FEdit->text());
  ShowPendingFolder();
  if (FTree->isVisible()) FTree->setFocus();
}

void TFormSelectFolder::ShowPendingFolder()
{
  if (FPendingFolder.isEmpty()) return;
  const QModelIndex index = FModel->index(FPendingFolder);
  if (!index.isValid()) return;
  FShowingPending = true;
  FTree->setCurrentIndex(index);
  FTree->scrollTo(index, QAbstractItemView::PositionAtCenter);
  FShowingPending = false;
}

namespace {

bool IsUserFolderToBeMade(const QString &path)
{
  if (path.isEmpty() || QFileInfo::exists(path)) return false;
  const QString clean = QDir::cleanPath(path);
  return clean == QDir::cleanPath(GetSpecialFolder(sfVideos)) ||
         clean == QDir::cleanPath(GetSpecialFolder(sfDocuments));
}

} // namespace

void TFormSelectFolder::ShellTreeViewChange()
{
  const QModelIndex index = FTree->currentIndex();
  const QString path = index.isValid() ? FModel->filePath(index) : QString();
  // The user's own choice ends the bringing into view.
  if (!FShowingPending && path != FPendingFolder) FPendingFolder.clear();
  // The user's videos or documents folder before anything was saved there
  // stays chosen while the tree shows where it will be: the copy makes it.
  if (FShowingPending && IsUserFolderToBeMade(FEdit->text())) return;
  // No node: nothing a copy could go to.
  FEdit->setText(path);
  FButtonOk->setEnabled(!path.isEmpty());
}

bool TFormSelectFolder::AddFolder(const QString &name)
{
  QString base = FEdit->text();
  if (!base.endsWith(QLatin1Char('/'))) base += QLatin1Char('/');
  const QString path = QDir::cleanPath(base + name);
  if (!ForceDirs(path) || !QFileInfo(path).isDir()) {
    // The tree is left alone so the typed path stays for a correction.
    QMessageBox::warning(this, Translate(u"CreateFolder"),
                         Translate(u"Mes_CannotCreateFolder") + QStringLiteral("\n") + path);
    return false;
  }
  FEdit->setText(path);
  ButtonShowInTreeClick();
  // Looked up by its path before the model's own reading finds it, the
  // folder joins its parent's rows at the end. The model sorts again only
  // for another column: by size and back by name, it takes its place.
  FModel->sort(1, Qt::AscendingOrder);
  FModel->sort(0, Qt::AscendingOrder);
  return true;
}

void TFormSelectFolder::ButtonAddFolderClick()
{
  if (!FButtonOk->isEnabled()) return;
  bool accepted = false;
  const QString name = QInputDialog::getText(this, Translate(u"CreateFolder"), FEdit->text(), QLineEdit::Normal,
                                             Translate(u"NewFolder"), &accepted);
  if (accepted && !name.isEmpty())
    AddFolder(name);
  else
    ButtonShowInTreeClick();
}

void TFormSelectFolder::ButtonOkClick()
{
  if (FEdit->text().isEmpty())
    reject();
  else
    accept();
}

} // namespace kp
