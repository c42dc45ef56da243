#include "qt/message_dialog.h"

#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTest>

#include "app/main_frm.h"
#include "app/shell_rules.h"
#include "app/testing/stage_double.h"
#include "qt/main_window.h"
#include "qt/testing/dialog_driver.h"

using netupdate::common::DialogResult;

Q_DECLARE_METATYPE(netupdate::app::MessageKind)
Q_DECLARE_METATYPE(netupdate::qt::DialogDriver::Action)
Q_DECLARE_METATYPE(netupdate::common::DialogResult)

namespace netupdate::qt {

class MessageDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void answers_data();
  void answers();
  void captionIconAndButtons_data();
  void captionIconAndButtons();
  void lineBreaks_data();
  void lineBreaks();
  void wrapsAtHalfTheScreenAndIsCentred();
  void unhandledErrorBox();
  void userInterfaceShowsRealDialogs();
};

void MessageDialogTest::answers_data() {
  QTest::addColumn<MessageKind>("kind");
  QTest::addColumn<DialogDriver::Action>("action");
  QTest::addColumn<DialogResult>("expected");
  const auto error = MessageKind::Error;
  const auto confirm = MessageKind::Confirmation;
  QTest::newRow("error Enter") << error << DialogDriver::pressKey(Qt::Key_Return)
                               << DialogResult::Ok;
  QTest::newRow("error keypad Enter")
      << error << DialogDriver::pressKey(Qt::Key_Enter) << DialogResult::Ok;
  QTest::newRow("error Esc") << error << DialogDriver::pressKey(Qt::Key_Escape) << DialogResult::Ok;
  QTest::newRow("error close box") << error << DialogDriver::closeBox() << DialogResult::Cancel;
  QTest::newRow("confirm Enter") << confirm << DialogDriver::pressKey(Qt::Key_Return)
                                 << DialogResult::Yes;
  QTest::newRow("confirm Esc") << confirm << DialogDriver::pressKey(Qt::Key_Escape)
                               << DialogResult::No;
  QTest::newRow("confirm close box") << confirm << DialogDriver::closeBox() << DialogResult::Cancel;
  QTest::newRow("confirm Tab to No, Enter") << confirm << DialogDriver::Action([](QWidget* dialog) {
    QTest::keyClick(dialog->focusWidget(), Qt::Key_Tab);
    DialogDriver::pressKey(Qt::Key_Return)(dialog);
  }) << DialogResult::No;
  QTest::newRow("confirm Space on Yes")
      << confirm << DialogDriver::pressKey(Qt::Key_Space) << DialogResult::Yes;
}

void MessageDialogTest::answers() {
  QFETCH(MessageKind, kind);
  QFETCH(DialogDriver::Action, action);
  QFETCH(DialogResult, expected);
  DialogDriver driver;
  driver.then(action);
  QCOMPARE(showMessageDialog(kind, "Felülírjam?"), expected);
  QVERIFY(driver.allAnswered());
  QCOMPARE(driver.seen().size(), 1u);
  QVERIFY(!driver.seen()[0].ignoredAction);
  QVERIFY(driver.seen()[0].active);
}

void MessageDialogTest::captionIconAndButtons_data() {
  QTest::addColumn<MessageKind>("kind");
  QTest::addColumn<QString>("title");
  QTest::addColumn<int>("icon");
  QTest::addColumn<QStringList>("buttons");
  QTest::newRow("error") << MessageKind::Error << "Error"
                         << static_cast<int>(QStyle::SP_MessageBoxCritical) << QStringList{"OK"};
  QTest::newRow("confirmation") << MessageKind::Confirmation << "Confirm"
                                << static_cast<int>(QStyle::SP_MessageBoxQuestion)
                                << QStringList{"&Yes", "&No"};
}

void MessageDialogTest::captionIconAndButtons() {
  QFETCH(MessageKind, kind);
  QFETCH(QString, title);
  QFETCH(int, icon);
  QFETCH(QStringList, buttons);
  MessageDialog dialog(kind, QStringLiteral("x"));
  QCOMPARE(dialog.windowTitle(), title);
  QStringList texts;
  for (auto* button : dialog.findChildren<QPushButton*>()) texts << button->text();
  QCOMPARE(texts, buttons);
  auto* first = dialog.findChildren<QPushButton*>().front();
  QVERIFY(first->isDefault());

  auto* iconLabel = dialog.findChild<QLabel*>(QStringLiteral("icon"));
  QVERIFY(iconLabel != nullptr);
  const int size = dialog.style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, &dialog);
  const QImage expectedIcon = dialog.style()
                                  ->standardIcon(static_cast<QStyle::StandardPixmap>(icon))
                                  .pixmap(size, size)
                                  .toImage();
  QCOMPARE(iconLabel->pixmap().toImage(), expectedIcon);
}

void MessageDialogTest::lineBreaks_data() {
  QTest::addColumn<QString>("message");
  QTest::addColumn<QString>("shown");
  QTest::newRow("LF") << "a\nb"
                      << "a\nb";
  QTest::newRow("CR") << "a\rb"
                      << "a\nb";
  QTest::newRow("CR LF is one break") << "a\r\nb"
                                      << "a\nb";
  QTest::newRow("LF CR is two") << "a\n\rb"
                                << "a\n\nb";
  QTest::newRow("CR CR LF") << "a\r\r\nb"
                            << "a\n\nb";
  QTest::newRow("mixed") << "1\r\n2\r3\n4"
                         << "1\n2\n3\n4";
  QTest::newRow("none") << "egy sor"
                        << "egy sor";
}

void MessageDialogTest::lineBreaks() {
  QFETCH(QString, message);
  QFETCH(QString, shown);
  MessageDialog dialog(MessageKind::Error, message);
  QCOMPARE(dialog.messageLabel()->text(), shown);
  const int lines = static_cast<int>(shown.count(u'\n')) + 1;
  const int height = dialog.messageLabel()->sizeHint().height();
  QVERIFY(height >= lines * dialog.fontMetrics().lineSpacing());
  QVERIFY(height < (lines + 1) * dialog.fontMetrics().lineSpacing());
}

void MessageDialogTest::wrapsAtHalfTheScreenAndIsCentred() {
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  QString longText;
  for (int i = 0; i < 200; ++i) longText += QStringLiteral("szó ");

  MessageDialog longDialog(MessageKind::Error, longText);
  longDialog.show();
  QCOMPARE(longDialog.messageLabel()->width(), area.width() / 2);
  QVERIFY(longDialog.messageLabel()->height() > 3 * longDialog.fontMetrics().lineSpacing());
  QVERIFY(qAbs(longDialog.geometry().center().x() - area.center().x()) <= 1);
  QVERIFY(qAbs(longDialog.geometry().center().y() - area.center().y()) <= 1);

  MessageDialog shortDialog(MessageKind::Confirmation, QStringLiteral("Rövid kérdés?"));
  shortDialog.show();
  QVERIFY(shortDialog.messageLabel()->width() < area.width() / 2);
  QVERIFY(qAbs(shortDialog.geometry().center().x() - area.center().x()) <= 1);
}

void MessageDialogTest::unhandledErrorBox() {
  QWidget owner;
  DialogDriver driver;
  driver.then(DialogDriver::inspectThenEnter([](QWidget* dialog) {
    auto* box = qobject_cast<QMessageBox*>(dialog);
    QVERIFY(box != nullptr);
    QCOMPARE(box->icon(), QMessageBox::Critical);
    QCOMPARE(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
  }));
  // The text comes final: the dot rule is the run sequence's.
  showStandardMessageBox(&owner, "Cannot open file x.html");
  QCOMPARE(driver.seen().size(), 1u);
  QCOMPARE(driver.seen()[0].title, QString::fromUtf8(app::kApplicationTitle));
  QCOMPARE(driver.seen()[0].text, QStringLiteral("Cannot open file x.html"));
}

// The stages reach the person through TMainFrm and the window's dialogs.
void MessageDialogTest::userInterfaceShowsRealDialogs() {
  auto log = std::make_shared<app::StageDouble::Log>();
  app::StageDouble* stages = nullptr;
  QtMainWindow window(app::CommandLine::fromRawLine("netupdate.exe a b c"),
                      app::stageDoubleFactory(log, &stages));
  bool closed = false;
  connect(&window, &QtMainWindow::closed, this, [&closed] { closed = true; });
  common::UserInterface& ui = window.frame();
  DialogDriver driver;
  driver.then(DialogDriver::pressKey(Qt::Key_Escape));
  driver.then(DialogDriver::pressKey(Qt::Key_Return));
  ui.showError("Hiba történt!");
  QCOMPARE(ui.confirm("Felülírjam?"), DialogResult::Yes);
  ui.requestClose();
  ui.requestClose();
  QTRY_VERIFY(closed);
  QCOMPARE(driver.seen().size(), 2u);
  QCOMPARE(driver.seen()[0].title, QStringLiteral("Error"));
  QCOMPARE(driver.seen()[0].text, QStringLiteral("Hiba történt!"));
  QCOMPARE(driver.seen()[1].title, QStringLiteral("Confirm"));
}

}  // namespace netupdate::qt

QTEST_MAIN(netupdate::qt::MessageDialogTest)
#include "message_dialog_test.moc"
