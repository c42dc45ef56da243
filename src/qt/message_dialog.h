#pragma once

#include <QDialog>
#include <QString>
#include <string>

#include "app/main_view.h"
#include "common/user_interface.h"

class QLabel;
class QPushButton;

namespace netupdate::qt {

using app::MessageKind;

// The program's own modal message dialog: the stages' errors and the Yes/No
// question. Centred on the screen; the text wraps at half the screen's width.
class MessageDialog : public QDialog {
  Q_OBJECT

 public:
  MessageDialog(MessageKind kind, const QString& message, QWidget* parent = nullptr);

  // Cancel until a button or key answers: the close box leaves it so.
  common::DialogResult answer() const { return m_answer; }

  QLabel* messageLabel() const { return m_text; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  QPushButton* addButton(const QString& text, common::DialogResult answer);
  void finish(common::DialogResult answer);

  common::DialogResult m_escapeAnswer;
  common::DialogResult m_answer = common::DialogResult::Cancel;
  QLabel* m_text = nullptr;
};

// CR, LF and CR LF each become exactly one line break.
QString normaliseLineBreaks(const QString& text);

common::DialogResult showMessageDialog(MessageKind kind, const std::string& message);

// The toolkit's standard message box with the application title, the error
// icon and one OK button, showing `text` as it is.
void showStandardMessageBox(QWidget* parent, const std::string& text);

}  // namespace netupdate::qt
