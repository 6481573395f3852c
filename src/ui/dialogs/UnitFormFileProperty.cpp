#include "UnitFormFileProperty.h"

#include "Numbers.h"
#include "UnitTranslate.h"
#include "UnitUtilsDesktop.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace kp {

TFormFileProperty::TFormFileProperty() : QWidget(nullptr)
{
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowIcon(LoadResourceIcon(QStringLiteral("icon_property.ico")));
  FGrid = new QTableWidget(0, 2, this);
  FGrid->horizontalHeader()->hide();
  // The values take what the labels leave, whatever the viewport's width is
  // when the window first shows or a scroll bar comes and goes.
  FGrid->horizontalHeader()->setStretchLastSection(true);
  FGrid->verticalHeader()->hide();
  FGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  FGrid->setSelectionMode(QAbstractItemView::ContiguousSelection);
  FGrid->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
  FButtonCopy = new QPushButton(this);
  connect(FButtonCopy, &QPushButton::clicked, this, &TFormFileProperty::ButtonCopyClick);
  auto *buttons = new QHBoxLayout;
  buttons->addWidget(FButtonCopy);
  buttons->addStretch();
  auto *layout = new QVBoxLayout(this);
  layout->addWidget(FGrid);
  layout->addLayout(buttons);
  resize(560, 480);
}

TFormFileProperty *TFormFileProperty::ShowGroup(const TFileItem &item)
{
  auto *w = new TFormFileProperty;
  w->setWindowTitle(Translate(u"Property_Title") + QLatin1Char(' ') + item.Summary.Name);
  w->FButtonCopy->setText(Translate(u"Property_CopyAll"));
  TPropertyRows rows(UseBritishUnits());
  rows.AddGroup(item);
  w->Fill(rows.Rows());
  w->show();
  return w;
}

void TFormFileProperty::Fill(const std::vector<TPropertyRow> &rows)
{
  FGrid->setRowCount(int(rows.size()));
  int labelWidth = 0;
  for (int r = 0; r < int(rows.size()); ++r) {
    FGrid->setItem(r, 0, new QTableWidgetItem(rows[size_t(r)].Label));
    FGrid->setItem(r, 1, new QTableWidgetItem(rows[size_t(r)].Value));
    labelWidth = std::max(labelWidth, fontMetrics().horizontalAdvance(rows[size_t(r)].Label));
  }
  FGrid->setColumnWidth(0, Round32(labelWidth * 1.1) + 4);
}

void TFormFileProperty::ButtonCopyClick()
{
  QString text;
  for (int r = 0; r < FGrid->rowCount(); ++r) {
    const QTableWidgetItem *label = FGrid->item(r, 0), *value = FGrid->item(r, 1);
    text += (label ? label->text() : QString()) + QLatin1Char('\t') + (value ? value->text() : QString()) +
            QStringLiteral("\r\n");
  }
  CopyTextToClipboard(text.toUtf8(), 0);
}

} // namespace kp
