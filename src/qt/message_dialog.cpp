#include "qt/message_dialog.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>

#include "app/shell_rules.h"

namespace netupdate::qt {

namespace {

QRect availableScreenArea() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
}

int widestLine(const QFontMetrics& metrics, const QString& text) {
  int widest = 0;
  for (const QString& line : text.split(u'\n')) {
    widest = std::max(widest, metrics.horizontalAdvance(line));
  }
  return widest;
}

}  // namespace

QString normaliseLineBreaks(const QString& text) {
  QString result = text;
  result.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  result.replace(u'\r', u'\n');
  return result;
}

MessageDialog::MessageDialog(MessageKind kind, const QString& message, QWidget* parent)
    : QDialog(parent),
      m_escapeAnswer(kind == MessageKind::Error ? common::DialogResult::Ok
                                                : common::DialogResult::No) {
  const bool isError = kind == MessageKind::Error;
  setWindowTitle(isError ? QStringLiteral("Error") : QStringLiteral("Confirm"));
  setWindowModality(Qt::ApplicationModal);

  auto* icon = new QLabel(this);
  icon->setObjectName(QStringLiteral("icon"));
  const int iconSize = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
  icon->setPixmap(
      style()
          ->standardIcon(isError ? QStyle::SP_MessageBoxCritical : QStyle::SP_MessageBoxQuestion,
                         nullptr, this)
          .pixmap(iconSize, iconSize));
  icon->setAlignment(Qt::AlignTop);

  m_text = new QLabel(this);
  m_text->setObjectName(QStringLiteral("message"));
  m_text->setTextFormat(Qt::PlainText);
  m_text->setText(normaliseLineBreaks(message));
  const int limit = availableScreenArea().width() / 2;
  if (widestLine(m_text->fontMetrics(), m_text->text()) > limit) {
    m_text->setWordWrap(true);
    m_text->setFixedWidth(limit);
  }

  auto* top = new QHBoxLayout;
  top->addWidget(icon);
  top->addSpacing(12);
  top->addWidget(m_text, 1);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  QPushButton* first = nullptr;
  if (isError) {
    first = addButton(QStringLiteral("OK"), common::DialogResult::Ok);
    buttons->addWidget(first);
  } else {
    first = addButton(QStringLiteral("&Yes"), common::DialogResult::Yes);
    buttons->addWidget(first);
    buttons->addWidget(addButton(QStringLiteral("&No"), common::DialogResult::No));
  }
  buttons->addStretch();
  first->setDefault(true);
  first->setFocus();

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addSpacing(8);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

QPushButton* MessageDialog::addButton(const QString& text, common::DialogResult answer) {
  auto* button = new QPushButton(text, this);
  button->setAutoDefault(true);
  connect(button, &QPushButton::clicked, this, [this, answer] { finish(answer); });
  return button;
}

void MessageDialog::finish(common::DialogResult answer) {
  m_answer = answer;
  accept();
}

void MessageDialog::keyPressEvent(QKeyEvent* event) {
  // QDialog would reject, which is what the close box does; Esc is an answer.
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    finish(m_escapeAnswer);
    return;
  }
  QDialog::keyPressEvent(event);
}

void MessageDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  const QRect area = availableScreenArea();
  move(area.center() - QPoint(width() / 2, height() / 2));
}

common::DialogResult showMessageDialog(MessageKind kind, const std::string& message) {
  MessageDialog dialog(kind, QString::fromStdString(message));
  dialog.exec();
  return dialog.answer();
}

void showStandardMessageBox(QWidget* parent, const std::string& text) {
  QMessageBox box(QMessageBox::Critical, QString::fromUtf8(app::kApplicationTitle),
                  QString::fromStdString(text), QMessageBox::Ok, parent);
  box.exec();
}

}  // namespace netupdate::qt
