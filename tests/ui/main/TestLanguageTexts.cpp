// The program started under a Russian locale, switched in its menu to
// Ukrainian and back to English: Qt's own texts in its dialogs (the open
// dialog, the buttons of a question) and the program's filter texts follow
// the language it runs in, and the cutting window's captions read whole.

#include "UiTestSupport.h"
#include "UnitFormCropping.h"
#include "UnitFormMain.h"
#include "UnitProgram.h"
#include "UnitTranslate.h"

#include <QPushButton>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QTableView>
#include <QTimer>
#include <QTranslator>
#include <gtest/gtest.h>

using namespace kp;

namespace {

// Qt's own text in Language, as Qt's installed translation gives it.
QString QtText(QLocale::Language language, const char *context, const char *text)
{
  if (language == QLocale::English) return QString::fromLatin1(text);
  QTranslator translator;
  if (!translator.load(QLocale(language), QStringLiteral("qtbase"), QStringLiteral("_"),
                       QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    return {};
  return translator.translate(context, text);
}

// Runs Command, which opens a modal dialog of type T, and reads it with Read
// before closing it (a question answered No); empty when none opened.
template <class T>
QStringList ReadModal(const std::function<void()> &command, const std::function<QStringList(T &)> &read)
{
  QStringList texts;
  QTimer poll;
  poll.setInterval(20);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto *dialog = qobject_cast<T *>(QApplication::activeModalWidget());
    if (!dialog) return;
    poll.stop();
    texts = read(*dialog);
    if (auto *box = qobject_cast<QMessageBox *>(dialog); box && box->button(QMessageBox::No))
      box->button(QMessageBox::No)->click();
    else
      dialog->reject();
  });
  poll.start();
  command();
  return texts;
}

QString TextOf(QWidget &parent, const char *name)
{
  if (auto *label = parent.findChild<QLabel *>(QLatin1String(name))) return label->text();
  if (auto *combo = parent.findChild<QComboBox *>(QLatin1String(name))) return combo->currentText();
  return QStringLiteral("<no %1>").arg(QLatin1String(name));
}

struct TCase {
  const char *Item; // the language menu's item, or null for the language the program started in
  QLocale::Language Language;
};

} // namespace

TEST(LanguageTexts, QtsDialogsAndTheProgramsTextsFollowTheLanguage)
{
  kptest::ensureApplication();
  kptest::ScopedSettings settings;
  // Chosen by the locale: the test runs under LANG=ru_RU.UTF-8.
  ASSERT_EQ(QLocale::system().language(), QLocale::Russian) << "run under LANG=ru_RU.UTF-8";
  const std::unique_ptr<TFormMain> w = CreateWindows({});
  for (const TCase &c :
       {TCase{nullptr, QLocale::Russian}, TCase{"N_View_Language_ua", QLocale::Ukrainian},
        TCase{"N_View_Language_en", QLocale::English}, TCase{"N_View_Language_ru", QLocale::Russian}}) {
    SCOPED_TRACE(QLocale::languageToString(c.Language).toStdString());
    if (c.Item) w->Item(c.Item)->trigger();
    const QString cancel = QtText(c.Language, "QPlatformTheme", "Cancel");
    const QString lookIn = QtText(c.Language, "QFileDialog", "Look in:");
    ASSERT_FALSE(cancel.isEmpty() || lookIn.isEmpty()) << "Qt's translations (qt6-translations-l10n) are missing";
    ASSERT_TRUE(c.Language == QLocale::English || lookIn != QStringLiteral("Look in:"));

    // File > Open: Qt's own words and the program's filter.
    const QStringList open = ReadModal<QFileDialog>(
        [&] { w->Item("N_File_Open")->trigger(); },
        [](QFileDialog &d) {
          auto *box = d.findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"));
          QPushButton *button = box ? box->button(QDialogButtonBox::Cancel) : nullptr;
          return QStringList{TextOf(d, "lookInLabel"), TextOf(d, "fileNameLabel"),
                             button ? button->text() : QStringLiteral("<no Cancel>"), TextOf(d, "fileTypeCombo")};
        });
    EXPECT_EQ(open, QStringList({lookIn, QtText(c.Language, "QFileDialog", "File &name:"), cancel,
                                 Translate(u"Filter_Video") + QStringLiteral(" (*.mov *.MOV *.mp4 *.MP4)")}));

    // The question of File > Reset settings, answered No.
    const QStringList question =
        ReadModal<QMessageBox>([&] { w->Item("N_Settings_Clear")->trigger(); },
                               [](QMessageBox &box) {
                                 const auto text = [&box](QMessageBox::StandardButton b) {
                                   return box.button(b) ? box.button(b)->text() : QStringLiteral("<none>");
                                 };
                                 return QStringList{text(QMessageBox::Yes), text(QMessageBox::No)};
                               });
    EXPECT_EQ(question,
              QStringList({QtText(c.Language, "QPlatformTheme", "&Yes"), QtText(c.Language, "QPlatformTheme", "&No")}));

    // The cutting window's list: every caption fits its column.
    auto *list = w->Windows.Cropping->findChild<QTableView *>(QStringLiteral("ListView"));
    ASSERT_NE(list, nullptr);
    QHeaderView *header = list->horizontalHeader();
    for (int column = 1; column < header->count(); ++column)
      EXPECT_GE(header->sectionSize(column), header->sectionSizeHint(column))
          << list->model()->headerData(column, Qt::Horizontal).toString().toStdString();
  }
}
