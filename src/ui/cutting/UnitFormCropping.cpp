#include "UnitFormCropping.h"

#include "CropJob.h"
#include "CropListModel.h"
#include "CropRules.h"
#include "MenuHotKeys.h"
#include "UnitFormCroppingItem.h"
#include "UnitGpsConverters.h"
#include "UnitTranslate.h"
#include "UnitUtilsDesktop.h"
#include "UnitUtilsFiles.h"

#include <QAction>
#include <QApplication>
#include <QBitmap>
#include <QCheckBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEventLoopLocker>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

namespace kp {

namespace {

// A menu glyph: the resource "<name>.bmp", its bottom-left colour transparent.
QIcon Glyph(const QString &name)
{
  const QImage image = LoadResourceBitmap(name + QStringLiteral(".bmp"));
  if (image.isNull()) return {};
  QPixmap pixmap = QPixmap::fromImage(image);
  const QRgb key = image.pixel(0, image.height() - 1);
  pixmap.setMask(QBitmap::fromImage(image.createMaskFromColor(key, Qt::MaskInColor)));
  return QIcon(pixmap);
}

} // namespace

TFormCropping::TFormCropping(ICropHost &host, TFormCroppingItem &editor, QWidget *parent)
  : QDialog(parent), FHost(host), FEditor(editor)
{
  setObjectName(QStringLiteral("FormCropping"));
  setWindowIcon(LoadResourceIcon(QStringLiteral("icon_cropping.ico")));
  setWindowFlag(Qt::WindowMinimizeButtonHint);
  setModal(false);
  setAcceptDrops(true);
  FMessages = [this](const QString &text) { QMessageBox::warning(this, windowTitle(), text); };
  CreateControls();
  CreateActions();
  LayOut();
  ApplyLanguage();
  ResetIdle();
}

void TFormCropping::ApplyLanguage()
{
  setWindowTitle(Translate(u"Cropping_Title"));
  FButtonStart->setText(Translate(u"Cropping_BtnStart"));
  FButtonCancel->setText(Translate(u"Cancel"));
  FCheckBoxVideo->setText(Translate(u"Video"));
  FCheckBoxAudio->setText(Translate(u"Audio"));
  FCheckBoxVideoSubtitles->setText(Translate(u"Subtitles"));
  FCheckBoxMeta->setText(QStringLiteral("(.") + GpsDefaultConverter().GetExt() + QStringLiteral(") - ") +
                         Translate(u"MetaInfo") + QStringLiteral(" (GPS, G-Sensor)"));
  FCheckBoxSRTSubtitles->setText(QStringLiteral("(.srt) - ") + Translate(u"Subtitles"));
  FGroupBoxVideoFileTracks->setTitle(Translate(u"Cropping_FileTracks"));
  FGroupBoxAdditionalFiles->setTitle(Translate(u"Cropping_AddonFiles"));
  UpdateTrackNote();
  const QString titles[TCropListModel::colCount] = {
      Translate(u"File"), Translate(u"Started") + QStringLiteral(" - ") + Translate(u"Finished"), Translate(u"Speed"),
      Translate(u"Duration")};
  for (int c = 0; c < TCropListModel::colCount; ++c)
    FModel->setHeaderData(c, Qt::Horizontal, titles[c], Qt::DisplayRole);
  // A caption wider than its column widens it: the header would cut it.
  QHeaderView *header = FListView->horizontalHeader();
  for (int c = TCropListModel::colStartFinish; c < TCropListModel::colCount; ++c)
    header->resizeSection(c, std::max(header->sectionSize(c), header->sectionSizeHint(c)));
  for (QAction *action : FPopupMenu->actions())
    if (!action->isSeparator()) action->setText(Translate(action->objectName()));
  FN_Speed->setText(Translate(u"Speed"));
  AssignHotKeys({FPopupMenu});
}

TFormCropping::~TFormCropping() = default;

void TFormCropping::CreateControls()
{
  FModel = new TCropListModel(FItems, FCurrentItem, FItemProgress, this);
  FListView = new QTableView(this);
  FListView->setObjectName(QStringLiteral("ListView"));
  FListView->setModel(FModel);
  FListView->setSelectionMode(QAbstractItemView::ExtendedSelection);
  FListView->setSelectionBehavior(QAbstractItemView::SelectRows);
  FListView->setEditTriggers(QAbstractItemView::NoEditTriggers);
  FListView->setShowGrid(true);
  FListView->setWordWrap(false);
  FListView->verticalHeader()->hide();
  FListView->verticalHeader()->setDefaultSectionSize(FListView->fontMetrics().height() + 4);
  FListView->setContextMenuPolicy(Qt::CustomContextMenu);
  QHeaderView *header = FListView->horizontalHeader();
  header->setSectionResizeMode(TCropListModel::colFileName, QHeaderView::Stretch);
  // The design widths, widened where this desktop's font needs more room.
  const int widths[] = {0, 110, 70, 65};
  const char *const widest[] = {"", "00:00:00 - 00:00:00", "(fps) 1024x", "00:00:00"};
  for (int c = TCropListModel::colStartFinish; c < TCropListModel::colCount; ++c) {
    const int needed = FListView->fontMetrics().horizontalAdvance(QLatin1String(widest[c])) + 12;
    header->resizeSection(c, std::max(widths[c], needed));
  }
  connect(FListView, &QWidget::customContextMenuRequested, this, &TFormCropping::ShowPopup);
  connect(FListView, &QAbstractItemView::doubleClicked, this, [this] {
    if (!FRunning) DoEdit();
  });
  connect(FListView->selectionModel(), &QItemSelectionModel::selectionChanged, this, &TFormCropping::UpdateActions);

  auto check = [this](const char *name, bool ticked) {
    auto *box = new QCheckBox(this);
    box->setObjectName(QLatin1String(name));
    box->setChecked(ticked);
    return box;
  };
  FGroupBoxVideoFileTracks = new QGroupBox(this);
  FGroupBoxVideoFileTracks->setObjectName(QStringLiteral("GroupBoxVideoFileTracks"));
  FCheckBoxVideo = check("CheckBoxVideo", true);
  FCheckBoxAudio = check("CheckBoxAudio", true);
  FCheckBoxVideoSubtitles = check("CheckBoxVideoSubtitles", false);
  FGroupBoxAdditionalFiles = new QGroupBox(this);
  FGroupBoxAdditionalFiles->setObjectName(QStringLiteral("GroupBoxAdditionalFiles"));
  FCheckBoxMeta = check("CheckBoxMeta", true);
  FCheckBoxSRTSubtitles = check("CheckBoxSRTSubtitles", true);

  FEditFileName = new QLineEdit(this);
  FEditFileName->setObjectName(QStringLiteral("EditFileName"));
  connect(FEditFileName, &QLineEdit::textChanged, this, [this](const QString &text) {
    if (text != FConfirmedName) FConfirmedName.clear();
  });
  FSpeedButtonSelectFile = new QToolButton(this);
  FSpeedButtonSelectFile->setObjectName(QStringLiteral("SpeedButtonSelectFile"));
  FSpeedButtonSelectFile->setText(QStringLiteral("..."));
  connect(FSpeedButtonSelectFile, &QToolButton::clicked, this, &TFormCropping::DoSelectFile);

  FButtonStart = new QPushButton(this);
  FButtonStart->setObjectName(QStringLiteral("ButtonStart"));
  FButtonStart->setDefault(true);
  connect(FButtonStart, &QPushButton::clicked, this, &TFormCropping::Start);
  FButtonCancel = new QPushButton(this);
  FButtonCancel->setObjectName(QStringLiteral("ButtonCancel"));
  connect(FButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
  FLabelTimePos = new QLabel(this);
  FLabelTimePos->setObjectName(QStringLiteral("LabelTimePos"));
  FLabelCurrentAction = new QLabel(this);
  FLabelCurrentAction->setObjectName(QStringLiteral("LabelCurrentAction"));
  FLabelNoTrack = new QLabel(this);
  FLabelNoTrack->setObjectName(QStringLiteral("LabelNoTrack"));
  FLabelNoTrack->setWordWrap(true);
  FLabelNoTrack->hide();
  for (QCheckBox *box : {FCheckBoxMeta, FCheckBoxSRTSubtitles, FCheckBoxVideoSubtitles})
    connect(box, &QCheckBox::toggled, this, &TFormCropping::UpdateTrackNote);
}

void TFormCropping::CreateActions()
{
  FPopupMenu = new QMenu(this);
  FPopupMenu->setObjectName(QStringLiteral("PopupMenuCropList"));
  // Shortcuts work while the list has the focus (Delete in the name edit
  // deletes characters); the same actions fill the popup.
  auto make = [this](const char *name, const QString &text, const QKeySequence &key, const QString &glyph,
                     void (TFormCropping::*handler)()) {
    auto *action = new QAction(text, this);
    action->setObjectName(QLatin1String(name));
    action->setIcon(Glyph(glyph));
    if (!key.isEmpty()) {
      action->setShortcut(key);
      action->setShortcutContext(Qt::WidgetShortcut);
      FListView->addAction(action);
    }
    connect(action, &QAction::triggered, this, handler);
    FPopupMenu->addAction(action);
    return action;
  };
  FN_Edit = make("N_Edit", Translate(u"N_Edit"), QKeySequence(Qt::Key_Return), QStringLiteral("N_Edit"),
                 &TFormCropping::DoEdit);
  FPopupMenu->setDefaultAction(FN_Edit);
  FN_Speed = make("N_Speed", Translate(u"Speed"), {}, QStringLiteral("N_Edit"), &TFormCropping::DoSpeed);
  FN_NoIntersection = make("N_NoIntersection", Translate(u"N_NoIntersection"), {}, QStringLiteral("N_Edit"),
                           &TFormCropping::DoNoIntersection);
  FPopupMenu->addSeparator();
  FN_Up = make("N_Up", Translate(u"N_Up"), QKeySequence(Qt::ALT | Qt::Key_Up), QStringLiteral("N_Up"),
               &TFormCropping::DoUp);
  FN_Down = make("N_Down", Translate(u"N_Down"), QKeySequence(Qt::ALT | Qt::Key_Down), QStringLiteral("N_Down"),
                 &TFormCropping::DoDown);
  FPopupMenu->addSeparator();
  FN_FileList_Add = make("N_FileList_Add", Translate(u"N_FileList_Add"), QKeySequence(Qt::Key_Insert),
                         QStringLiteral("N_FileList_Add"), &TFormCropping::DoAdd);
  FN_FileList_Del = make("N_FileList_Del", Translate(u"N_FileList_Del"), QKeySequence(Qt::Key_Delete),
                         QStringLiteral("N_FileList_Del"), &TFormCropping::DoDelete);
  FN_FileList_Clear = make("N_FileList_Clear", Translate(u"N_FileList_Clear"), QKeySequence(Qt::CTRL | Qt::Key_N),
                           QStringLiteral("N_FileList_Clear"), &TFormCropping::DoClear);
  // Enter in the list also reaches the list as a key: one Return shortcut
  // is enough, the keypad's Enter joins it.
  auto *enter = new QAction(this);
  enter->setShortcut(QKeySequence(Qt::Key_Enter));
  enter->setShortcutContext(Qt::WidgetShortcut);
  connect(enter, &QAction::triggered, FN_Edit, &QAction::trigger);
  FListView->addAction(enter);

  FSmallButtons = {SmallButton("ButtonAdd", FN_FileList_Add),
                   SmallButton("ButtonDel", FN_FileList_Del),
                   SmallButton("ButtonClear", FN_FileList_Clear),
                   SmallButton("ButtonUp", FN_Up),
                   SmallButton("ButtonDown", FN_Down),
                   SmallButton("ButtonEdit", FN_Edit)};
}

QToolButton *TFormCropping::SmallButton(const char *name, QAction *action)
{
  auto *button = new QToolButton(this);
  button->setObjectName(QLatin1String(name));
  button->setIcon(action->icon());
  button->setToolTip(WithoutHotKey(action->text()));
  connect(action, &QAction::changed, button, [button, action] { button->setToolTip(WithoutHotKey(action->text())); });
  button->setFocusPolicy(Qt::NoFocus);
  connect(button, &QToolButton::clicked, this, [this, action] {
    // The handler runs even when the action is greyed for want of a
    // selection; each handler checks what it needs.
    if (!FRunning) emit action->triggered();
    FListView->setFocus();
  });
  return button;
}

void TFormCropping::LayOut()
{
  auto *buttons = new QVBoxLayout;
  for (QToolButton *b : FSmallButtons) buttons->addWidget(b);
  buttons->addStretch();
  auto *list = new QHBoxLayout;
  list->addWidget(FListView, 1);
  list->addLayout(buttons);

  auto *tracks = new QVBoxLayout(FGroupBoxVideoFileTracks);
  tracks->addWidget(FCheckBoxVideo);
  tracks->addWidget(FCheckBoxAudio);
  tracks->addWidget(FCheckBoxVideoSubtitles);
  auto *files = new QVBoxLayout(FGroupBoxAdditionalFiles);
  files->addWidget(FCheckBoxMeta);
  files->addWidget(FCheckBoxSRTSubtitles);
  files->addStretch();
  auto *groups = new QHBoxLayout;
  groups->addWidget(FGroupBoxVideoFileTracks, 1);
  groups->addWidget(FGroupBoxAdditionalFiles, 2);

  auto *name = new QHBoxLayout;
  name->addWidget(FEditFileName, 1);
  name->addWidget(FSpeedButtonSelectFile);

  auto *bottom = new QHBoxLayout;
  bottom->addStretch();
  bottom->addWidget(FButtonStart);
  bottom->addWidget(FButtonCancel);
  bottom->addStretch();

  auto *all = new QVBoxLayout(this);
  all->addLayout(list, 1);
  all->addWidget(FLabelNoTrack);
  all->addLayout(groups);
  all->addLayout(name);
  all->addWidget(FLabelTimePos);
  all->addWidget(FLabelCurrentAction);
  all->addLayout(bottom);
  resize(560, 420);
}

void TFormCropping::SetMessageSink(TMessageSink sink)
{
  FMessages = std::move(sink);
}

void TFormCropping::Message(const QString &text)
{
  if (FMessages) FMessages(text);
}

QString TFormCropping::OutputName() const
{
  return FEditFileName->text();
}

void TFormCropping::SetOutputName(const QString &name)
{
  FProposal = nullptr;
  FEditFileName->setText(name);
}

void TFormCropping::ProposeOutputName(std::function<QString()> propose)
{
  SetOutputName(propose ? propose() : QString());
  FProposal = std::move(propose);
  FProposed = FEditFileName->text();
}

void TFormCropping::ClockChanged()
{
  for (int row = 0; row < RowCount(); ++row) FModel->RepaintRow(row);
  UpdateTotals();
  // A name the user typed is the user's.
  if (FProposal && !FRunning && FEditFileName->text() == FProposed) {
    FProposed = FProposal();
    FEditFileName->setText(FProposed);
  }
}

void TFormCropping::ClearSelection()
{
  FListView->clearSelection();
}

void TFormCropping::ShowRestored()
{
  setWindowState(windowState() & ~Qt::WindowMinimized);
  show();
  raise();
  activateWindow();
}

void TFormCropping::showEvent(QShowEvent *event)
{
  QDialog::showEvent(event);
  UpdateTotals();
}

// ---------------------------------------------------------------- state

void TFormCropping::ResetIdle()
{
  FItems.clear();
  FModel->Reset();
  FEditFileName->clear();
  FProposal = nullptr;
  FLabelTimePos->setText(CropProgressText(0, 0));
  FLabelCurrentAction->clear();
  FCurrentItem = -1;
  FItemProgress = 0;
  UpdateTotals();
  SetRunning(false);
}

void TFormCropping::done(int result)
{
  QDialog::done(result);
  if (FRunning)
    FResetPending = true;
  else
    ResetIdle();
}

void TFormCropping::SetRunning(bool running)
{
  FRunning = running;
  FEditFileName->setReadOnly(running);
  for (QWidget *w : std::initializer_list<QWidget *>{FCheckBoxVideo, FCheckBoxAudio, FCheckBoxVideoSubtitles,
                                                     FCheckBoxMeta, FCheckBoxSRTSubtitles, FSpeedButtonSelectFile})
    w->setEnabled(!running);
  for (QToolButton *b : FSmallButtons) b->setEnabled(!running);
  FButtonStart->setEnabled(!running && !FItems.empty());
  UpdateActions();
}

void TFormCropping::UpdateActions()
{
  // While the job runs nothing may change the list it copies from: Qt fires
  // shortcuts without a popup.
  const bool selected = FListView->selectionModel()->hasSelection();
  for (QAction *a : {FN_Edit, FN_Speed, FN_Up, FN_Down, FN_FileList_Del}) a->setEnabled(!FRunning && selected);
  for (QAction *a : {FN_NoIntersection, FN_FileList_Add, FN_FileList_Clear}) a->setEnabled(!FRunning);
}

void TFormCropping::UpdateTotals()
{
  // The sum of what the rows show.
  int64_t seconds = 0;
  for (const TCropItem &item : FItems) seconds += CropRowTimes(item, TimeZoneShift()).Seconds;
  FLabelTimePos->setText(QStringLiteral("(") + QString::number(FItems.size()) + QStringLiteral(") ") +
                         TimeToStr(double(seconds) / SecsPerDay));
  FButtonStart->setEnabled(!FRunning && !FItems.empty());
  UpdateTrackNote();
}

// ---------------------------------------------------------------- items

bool TFormCropping::AddFile(const QString &fileName, const TMovingInfo *info, long double p1, long double p2,
                            TDateTime startTime)
{
  if (FRunning) return false;
  TCropItem item;
  QString damage;
  if (!ReadCropSource(fileName, startTime, item, &damage)) {
    Message(fileName + QStringLiteral("\r\n\r\n") +
            (damage.isEmpty() ? Translate(u"Cropping_FormatUnknown")
                              : Translate(u"Cropping_FileDamaged") + QStringLiteral("\r\n") + damage));
    return false;
  }
  item.P1 = p1;
  item.P2 = p2;
  if (info)
    item.Info = info->Clone();
  else
    PairTrack(item, startTime > 1.0);

  for (const TCropItem &earlier : FItems)
    if (earlier.Width != item.Width || earlier.Height != item.Height) {
      auto size = [](const TCropItem &i) {
        return QString::number(i.Width) + QLatin1Char('x') + QString::number(i.Height);
      };
      Message(earlier.FileName + QStringLiteral("\r\n") + size(earlier) + QStringLiteral("\r\n\r\n") + fileName +
              QStringLiteral("\r\n") + size(item) + QStringLiteral("\r\n\r\n") + Translate(u"Cropping_FrameNotEqual"));
      break;
    }

  FModel->BeginAppend();
  FItems.push_back(std::move(item));
  FModel->EndAppend();
  const QModelIndex row = FModel->index(int(FItems.size()) - 1, 0);
  FListView->selectionModel()->select(row, QItemSelectionModel::Select | QItemSelectionModel::Rows);
  FListView->scrollTo(row);
  UpdateTotals();
  QCoreApplication::processEvents();
  return true;
}

void TFormCropping::PairTrack(TCropItem &item, bool keepStartTime)
{
  const TCropTrack track = FHost.FindTrack(item.FileName);
  // The list places a movie by its track's clock: the fragment's times
  // must meet the track's for its fixes to be found.
  if (!keepStartTime && track.StartTime > 1.0) item.StartTime = track.StartTime;
  item.Info = track.Info;
  if (!CropItemHasTrack(item)) item.Info.reset();
}

void TFormCropping::UpdateTrackNote()
{
  // Only what the ticked boxes would take from the tracks is missed.
  const bool wanted =
      FCheckBoxMeta->isChecked() || FCheckBoxSRTSubtitles->isChecked() || FCheckBoxVideoSubtitles->isChecked();
  QStringList without;
  for (const TCropItem &item : FItems)
    if (!CropItemHasTrack(item)) without << ExtractFileName(item.FileName);
  without.removeDuplicates();
  if (!wanted || without.isEmpty()) {
    FLabelNoTrack->hide();
    FLabelNoTrack->clear();
    return;
  }
  constexpr qsizetype kNamesShown = 3;
  QString names = QStringList(without.mid(0, kNamesShown)).join(QStringLiteral(", "));
  if (without.size() > kNamesShown) names += QStringLiteral(", ...");
  FLabelNoTrack->setText(Translate(u"Cropping_NoTrack") + QLatin1Char(' ') + names);
  FLabelNoTrack->show();
}

bool TFormCropping::SetProgress(double seconds, double fraction)
{
  if (seconds >= 0) FLabelTimePos->setText(CropProgressText(seconds, FTotalSeconds));
  FItemProgress = fraction;
  if (seconds < 0 || !FLastRefresh.isValid() || FLastRefresh.elapsed() > 500) {
    FLastRefresh.start();
    FModel->RepaintRow(FCurrentItem);
  }
  QCoreApplication::processEvents();
  return isVisible();
}

std::vector<bool> TFormCropping::SelectionMarks() const
{
  std::vector<bool> marks(FItems.size(), false);
  for (const QModelIndex &i : FListView->selectionModel()->selectedRows())
    if (i.row() < int(marks.size())) marks[size_t(i.row())] = true;
  return marks;
}

void TFormCropping::SelectMarked(const std::vector<bool> &marks)
{
  QItemSelection selection;
  for (size_t r = 0; r < marks.size(); ++r)
    if (marks[r]) selection.select(FModel->index(int(r), 0), FModel->index(int(r), TCropListModel::colCount - 1));
  FListView->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

int TFormCropping::FirstSelected() const
{
  const std::vector<bool> marks = SelectionMarks();
  for (size_t r = 0; r < marks.size(); ++r)
    if (marks[r]) return int(r);
  return -1;
}

// ---------------------------------------------------------------- commands

void TFormCropping::DoAdd()
{
  if (FRunning) return;
  ClearSelection();
  const bool wasEmpty = FItems.empty();
  for (const QString &file : FHost.ChooseVideoFiles()) AddFile(file, nullptr, 0, 1, 0);
  if (wasEmpty) ClearSelection();
}

void TFormCropping::DoDelete()
{
  if (FRunning) return;
  const std::vector<bool> marks = SelectionMarks();
  for (size_t r = marks.size(); r-- > 0;)
    if (marks[r]) FItems.erase(FItems.begin() + std::ptrdiff_t(r));
  FModel->Reset();
  UpdateTotals();
  UpdateActions();
}

void TFormCropping::DoClear()
{
  if (FRunning) return;
  FItems.clear();
  FModel->Reset();
  UpdateTotals();
  UpdateActions();
}

void TFormCropping::DoUp()
{
  if (FRunning) return;
  std::vector<bool> marks = SelectionMarks();
  MoveSelectedUp(FItems, marks);
  FModel->Reset();
  SelectMarked(marks);
}

void TFormCropping::DoDown()
{
  if (FRunning) return;
  std::vector<bool> marks = SelectionMarks();
  MoveSelectedDown(FItems, marks);
  FModel->Reset();
  SelectMarked(marks);
}

void TFormCropping::DoEdit()
{
  const int row = FirstSelected();
  if (FRunning || row < 0) return;
  // The editor runs its own event loop: edit a copy, so that nothing that
  // changes the list meanwhile leaves it writing into a moved item.
  TCropItem item = FItems[size_t(row)];
  if (!FEditor.Execute(item) || size_t(row) >= FItems.size() || FItems[size_t(row)].FileName != item.FileName) return;
  FItems[size_t(row)] = item;
  for (int r = 0; r < int(FItems.size()); ++r) FModel->RepaintRow(r);
  UpdateTotals();
}

void TFormCropping::DoSpeed()
{
  const int row = FirstSelected();
  if (FRunning || row < 0) return;
  bool ok = false;
  const QString answer = QInputDialog::getText(this, Translate(u"N_Edit"), Translate(u"Speed"), QLineEdit::Normal,
                                               SpeedText(FItems[size_t(row)].Speed), &ok);
  // The box processes window messages: the list may have changed under it.
  if (!ok || FRunning) return;
  const long double speed = ReadSpeedAnswer(answer.trimmed());
  const std::vector<bool> marks = SelectionMarks();
  for (size_t r = 0; r < marks.size(); ++r)
    if (marks[r]) {
      FItems[r].Speed = speed;
      FItems[r].BigFPS = false;
    }
  for (int r = 0; r < int(FItems.size()); ++r) FModel->RepaintRow(r);
  UpdateTotals();
}

void TFormCropping::DoNoIntersection()
{
  if (FRunning) return;
  RemoveIntersections(FItems);
  FModel->Reset();
  UpdateTotals();
  UpdateActions();
}

void TFormCropping::DoSelectFile()
{
  if (FRunning) return;
  QFileDialog dialog(this);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(DefaultExtension());
  dialog.setNameFilters({Translate(u"Filter_MovieFiles") + QStringLiteral(" (*.mp4 *.mov)"),
                         Translate(u"Filter_AnyFiles") + QStringLiteral(" (*)")});
  const QString current = SanitizedPath(FEditFileName->text());
  if (!current.isEmpty()) dialog.selectFile(current);
  if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
    FEditFileName->setText(dialog.selectedFiles().constFirst());
    // The save dialog has asked about replacing this one.
    FConfirmedName = FEditFileName->text();
  }
}

bool TFormCropping::AskReplace(const QStringList &existing)
{
  QStringList ask = existing;
  ask.removeAll(FConfirmedName);
  if (ask.isEmpty()) return true;
  const QString text = Translate(u"Mes_FileExists") + QStringLiteral("\r\n") + ask.join(QStringLiteral("\r\n")) +
                       QStringLiteral("\r\n\r\n") + Translate(u"Mes_SureToReplace") + QStringLiteral(" ?");
  return QMessageBox::question(this, windowTitle(), text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No) ==
         QMessageBox::Yes;
}

void TFormCropping::ShowPopup(const QPoint &pos)
{
  if (FRunning) return;
  UpdateActions();
  FPopupMenu->exec(FListView->viewport()->mapToGlobal(pos));
}

void TFormCropping::dragEnterEvent(QDragEnterEvent *event)
{
  if (!FRunning && event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TFormCropping::dropEvent(QDropEvent *event)
{
  if (FRunning || !event->mimeData()->hasUrls()) return;
  event->acceptProposedAction();
  ClearSelection();
  for (const QUrl &url : event->mimeData()->urls())
    if (url.isLocalFile()) AddFile(url.toLocalFile(), nullptr, 0, 1, 0);
  FListView->setFocus();
}

// ---------------------------------------------------------------- the job

void TFormCropping::Start()
{
  if (FRunning) return;
  TCropJobOptions options;
  options.Video = FCheckBoxVideo->isChecked();
  options.Audio = FCheckBoxAudio->isChecked();
  options.VideoSubtitles = FCheckBoxVideoSubtitles->isChecked();
  options.Meta = FCheckBoxMeta->isChecked();
  options.SrtSubtitles = FCheckBoxSRTSubtitles->isChecked();
  options.TextLanguage = CropTextLanguage();
  options.DisplayShift = TimeZoneShift();

  TCropJobEvents events;
  events.Started = [this](const QString &name, double totalSeconds) {
    FEditFileName->setText(name);
    FTotalSeconds = totalSeconds;
    SetRunning(true);
    FListView->setFocus();
  };
  events.ItemStarted = [this](int index) {
    FCurrentItem = index;
    FItemProgress = 0;
    FLastRefresh.invalidate();
    if (index < 0) return;
    const QModelIndex row = FModel->index(index, 0);
    FListView->selectionModel()->setCurrentIndex(row, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    FListView->scrollTo(row);
  };
  events.Action = [this](const QString &text) {
    FLabelCurrentAction->setText(text);
    repaint();
  };
  events.ItemDone = [this](int index) { FModel->RepaintRow(index); };
  events.AskReplace = [this](const QStringList &existing) { return AskReplace(existing); };

  TCropJob job(
      FItems, FEditFileName->text(), options, FHost, [this](double s, double f) { return SetProgress(s, f); },
      FMessages, events);
  TCropOutcome outcome;
  {
    // The main window is hidden while the job runs: closing this dialog then
    // closes the last visible window, which must not end the program.
    const QEventLoopLocker keepRunning;
    outcome = job.Run();
  }
  // The files the save dialog asked about may now be this job's own output.
  if (outcome != TCropOutcome::NotStarted && outcome != TCropOutcome::Refused) FConfirmedName.clear();
  if (!job.OutputName().isEmpty() && !FResetPending) FEditFileName->setText(job.OutputName());
  FCurrentItem = -1;
  FItemProgress = 0;
  const bool greet = outcome == TCropOutcome::Finished && isVisible();
  if (greet) {
    activateWindow();
    QApplication::beep();
  }
  SetRunning(false);
  for (int r = 0; r < int(FItems.size()); ++r) FModel->RepaintRow(r);
  UpdateTotals();
  if (greet) {
    activateWindow();
    QApplication::beep();
  }
  if (FResetPending) {
    FResetPending = false;
    ResetIdle();
  }
}

} // namespace kp
