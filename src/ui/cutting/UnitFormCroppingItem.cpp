#include "UnitFormCroppingItem.h"

#include "CropRules.h"
#include "UnitTranslate.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QVBoxLayout>

namespace kp {

namespace {

QString FractionText(long double p)
{
  return FloatToStrDot(double(p), 6, true);
}

long double ReadFraction(const QLineEdit *edit, double unreadable)
{
  return StrToFloatAny(QStringView(edit->text()), unreadable);
}

} // namespace

TFormCroppingItem::TFormCroppingItem(QWidget *owner) : QDialog(owner)
{
  setObjectName(QStringLiteral("FormCroppingItem"));
  setModal(true);
  CreateControls();
  LayOut();
  ApplyLanguage();
}

void TFormCroppingItem::ApplyLanguage()
{
  FButtonCancel->setText(Translate(u"Cancel"));
  FLabelStart->setText(Translate(u"Started") + QLatin1Char(':'));
  FLabelFinish->setText(Translate(u"Finished") + QLatin1Char(':'));
  FLabelDuration->setText(Translate(u"Duration") + QLatin1Char(':'));
  FLabelSpeed->setText(Translate(u"Speed") + QLatin1Char(':'));
  FSpeedUpMethod->setTitle(Translate(u"Cropping_SpeedUpMethod"));
}

void TFormCroppingItem::CreateControls()
{
  auto label = [this](const char *name, const QString &text = {}) {
    auto *l = new QLabel(text, this);
    l->setObjectName(QLatin1String(name));
    return l;
  };
  auto edit = [this](const char *name, const QString &text = {}) {
    auto *e = new QLineEdit(text, this);
    e->setObjectName(QLatin1String(name));
    return e;
  };
  FLabelFileName = label("LabelFileName");
  FLabelDuration = label("LabelDuration");
  FLabelDurationValue = label("LabelDurationValue");
  FLabelStart = label("LabelStart");
  FEditTime1 = edit("EditTime1");
  FLabelDateTime1 = label("LabelDateTime1");
  FEditP1 = edit("EditP1", QStringLiteral("0.000000"));
  FLabelFinish = label("LabelFinish");
  FEditTime2 = edit("EditTime2");
  FLabelDateTime2 = label("LabelDateTime2");
  FEditP2 = edit("EditP2", QStringLiteral("1.000000"));
  FLabelSpeed = label("LabelSpeed");
  FTrackBarSpeed = new QSlider(Qt::Horizontal, this);
  FTrackBarSpeed->setObjectName(QStringLiteral("TrackBarSpeed"));
  FTrackBarSpeed->setTickPosition(QSlider::TicksAbove);
  FTrackBarSpeed->setTickInterval(1);
  FTrackBarSpeed->setPageStep(1);
  FTrackBarSpeed->setFocusPolicy(Qt::NoFocus);
  FEditSpeed = edit("EditSpeed", QStringLiteral("1"));
  FSpeedUpMethod = new QGroupBox(this);
  FSpeedUpMethod->setObjectName(QStringLiteral("SpeedUpMethod"));
  FSUM_FPS = new QRadioButton(FSpeedUpMethod);
  FSUM_FPS->setObjectName(QStringLiteral("SUM_FPS"));
  FSUM_KeyFrames = new QRadioButton(FSpeedUpMethod);
  FSUM_KeyFrames->setObjectName(QStringLiteral("SUM_KeyFrames"));
  FButtonOk = new QPushButton(QStringLiteral("OK"), this);
  FButtonOk->setObjectName(QStringLiteral("ButtonOk"));
  FButtonOk->setDefault(true);
  FButtonCancel = new QPushButton(this);
  FButtonCancel->setObjectName(QStringLiteral("ButtonCancel"));

  connect(FEditP1, &QLineEdit::textChanged, this, &TFormCroppingItem::EditP1Changed);
  connect(FEditP2, &QLineEdit::textChanged, this, &TFormCroppingItem::EditP2Changed);
  connect(FEditTime1, &QLineEdit::textChanged, this, &TFormCroppingItem::EditTime1Changed);
  connect(FEditTime2, &QLineEdit::textChanged, this, &TFormCroppingItem::EditTime2Changed);
  connect(FEditSpeed, &QLineEdit::textChanged, this, &TFormCroppingItem::EditSpeedChanged);
  connect(FTrackBarSpeed, &QSlider::valueChanged, this, &TFormCroppingItem::TrackBarSpeedChanged);
  connect(FButtonOk, &QPushButton::clicked, this, &QDialog::accept);
  connect(FButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TFormCroppingItem::LayOut()
{
  auto *grid = new QGridLayout;
  grid->addWidget(FLabelFileName, 0, 0, 1, 4);
  grid->addWidget(FLabelDuration, 1, 0);
  grid->addWidget(FLabelDurationValue, 1, 1);
  grid->addWidget(FLabelStart, 2, 0);
  grid->addWidget(FEditTime1, 2, 1);
  grid->addWidget(FLabelDateTime1, 2, 2);
  grid->addWidget(FEditP1, 2, 3);
  grid->addWidget(FLabelFinish, 3, 0);
  grid->addWidget(FEditTime2, 3, 1);
  grid->addWidget(FLabelDateTime2, 3, 2);
  grid->addWidget(FEditP2, 3, 3);
  grid->addWidget(FLabelSpeed, 4, 0);
  grid->addWidget(FTrackBarSpeed, 4, 1, 1, 2);
  grid->addWidget(FEditSpeed, 4, 3);
  grid->setColumnStretch(2, 1);

  auto *method = new QVBoxLayout(FSpeedUpMethod);
  method->addWidget(FSUM_FPS);
  method->addWidget(FSUM_KeyFrames);

  auto *buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(FButtonOk);
  buttons->addWidget(FButtonCancel);

  auto *all = new QVBoxLayout(this);
  all->addLayout(grid);
  all->addWidget(FSpeedUpMethod);
  all->addStretch();
  all->addLayout(buttons);
}

bool TFormCroppingItem::Execute(TCropItem &item)
{
  // Edits work on a copy: Cancel must leave the item as it was.
  TCropItem working = item;
  Fill(working);
  const bool ok = exec() == QDialog::Accepted;
  if (ok) WriteBack(item);
  FItem = nullptr;
  return ok;
}

void TFormCroppingItem::Fill(TCropItem &item)
{
  FItem = nullptr;
  FTrackBarSpeed->setMinimum(0);
  const TSpeedChoice choice = SpeedsForFrameTypes(item.FrameTypes);
  FSpeeds = choice.Speeds;
  FSUM_KeyFrames->setText(
      ReplaceMacro(Translate(u"Cropping_KeyFrameOnly"), QStringLiteral("key"), QString::number(choice.KeyInterval)));
  FTrackBarSpeed->setMaximum(int(FSpeeds.size()) - 1);
  FItem = &item;
  FLabelFileName->setText(item.FileName);
  FEditP1->setText(QStringLiteral("0"));
  FEditP2->setText(QStringLiteral("1"));
  FEditSpeed->setText(QStringLiteral("1"));
  FLabelDurationValue->setText(TimeToStr(item.DurationMs / MSecsPerDay));
  FEditP1->setText(FractionText(item.P1));
  FEditP2->setText(FractionText(item.P2));
  FEditSpeed->setText(SpeedText(item.Speed));
  // The same text raises no change, and the method group must follow the
  // speed from the first opening on.
  EditSpeedChanged();
  (item.BigFPS ? FSUM_FPS : FSUM_KeyFrames)->setChecked(true);
  setWindowTitle(Translate(u"N_Edit") + QStringLiteral(" - ") + ExtractFileName(item.FileName));
}

void TFormCroppingItem::WriteBack(TCropItem &item) const
{
  item.P1 = Clamp<long double>(ReadFraction(FEditP1, 0), 0, 1);
  item.P2 = Clamp<long double>(ReadFraction(FEditP2, 1), 0, 1);
  const long double speed = ReadEditorSpeed(FEditSpeed->text());
  item.Speed = speed > 0 ? speed : 1;
  item.BigFPS = FSUM_FPS->isChecked();
}

void TFormCroppingItem::PositionChanged(QLineEdit *editP, QLineEdit *editTime, QLabel *dateTime, double unreadable)
{
  if (!FItem) return;
  const long double p = ReadFraction(editP, unreadable);
  const TDateTime t = double(p * FItem->DurationMs / MSecsPerDay);
  // On the list's clock.
  const TDateTime shown = FItem->StartTime + t + TimeZoneShift();
  dateTime->setText(DateToStr(shown) + QStringLiteral("  ") + TimeToStr(shown));
  if (!FUpdating) {
    FUpdating = true;
    editTime->setText(TimeToStr(t));
    FUpdating = false;
  }
  UpdateOk();
}

void TFormCroppingItem::TimeChanged(QLineEdit *editTime, QLineEdit *editP, double unreadable)
{
  if (!FItem || FUpdating) return;
  TDateTime t = unreadable;
  if (!TryStrToTime(editTime->text(), t)) t = unreadable;
  FUpdating = true;
  editP->setText(FractionText(t * MSecsPerDay / std::max<int64_t>(FItem->DurationMs, 1)));
  FUpdating = false;
}

void TFormCroppingItem::EditP1Changed()
{
  PositionChanged(FEditP1, FEditTime1, FLabelDateTime1, 0);
}

void TFormCroppingItem::EditP2Changed()
{
  PositionChanged(FEditP2, FEditTime2, FLabelDateTime2, 1);
}

void TFormCroppingItem::EditTime1Changed()
{
  TimeChanged(FEditTime1, FEditP1, 0);
}

void TFormCroppingItem::EditTime2Changed()
{
  TimeChanged(FEditTime2, FEditP2, FItem ? FItem->DurationMs / MSecsPerDay : 0);
}

void TFormCroppingItem::TrackBarSpeedChanged(int position)
{
  if (position < 0 || position >= int(FSpeeds.size())) return;
  const QString text = SpeedText(FSpeeds[size_t(position)]);
  if (FEditSpeed->text() != text) FEditSpeed->setText(text);
}

void TFormCroppingItem::EditSpeedChanged()
{
  const long double speed = ReadEditorSpeed(FEditSpeed->text());
  for (size_t i = 0; i < FSpeeds.size(); ++i)
    if (FSpeeds[i] == speed) {
      FTrackBarSpeed->setValue(int(i));
      break;
    }
  FSpeedUpMethod->setVisible(speed > 1);
  if (speed <= 1) return;
  const double fps = FItem ? FItem->FPS : 0;
  FSUM_FPS->setText(
      ReplaceMacro(Translate(u"Cropping_BigFPS"), QStringLiteral("fps"), QString::number(Round(speed * fps))));
  FSUM_KeyFrames->setChecked(true);
}

void TFormCroppingItem::UpdateOk()
{
  // A fragment that ends before it starts would have no length.
  const long double p1 = Clamp<long double>(ReadFraction(FEditP1, 0), 0, 1);
  const long double p2 = Clamp<long double>(ReadFraction(FEditP2, 1), 0, 1);
  FButtonOk->setEnabled(p1 < p2);
}

} // namespace kp
