// Answers the real modal dialogs and boxes the window opens, as a user
// would, and records what each one showed.
#pragma once

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

namespace pelmoro::testing {

// What one modal window showed when it appeared.
struct SeenModal {
  enum Kind { kOpenDialog, kSaveDialog, kMessageBox, kOther };
  Kind kind = kOther;
  QString title;
  QString text;  // a box's text
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  int buttons = 0;                // a box's buttons
  QString proposed;               // a file dialog's proposed file, full path
  QString proposed_name;          // ... as its name field shows it
  QStringList filters;            // a file dialog's name filters
  QRect frame;                    // where the window appeared
  bool answered = false;          // the answer given was used
  bool closed_by_itself = false;  // gone before it was answered
};

// One answer, used for the next modal window that appears.
struct ModalAnswer {
  enum Action { kAcceptName, kCancel, kEnter, kEscape };
  Action action = kEnter;
  QString name;                          // for kAcceptName: typed into the name field
  std::function<void(QWidget*)> before;  // runs on the open window first
};

// Watches the application for modal dialogs and boxes. Each one that appears
// is recorded and, once its own event loop runs, given the next queued
// answer; one that finds no answer left is cancelled with Esc (recorded as
// unanswered), so a test never hangs on an unexpected window.
class ModalAnswerer : public QObject {
  Q_OBJECT

 public:
  ModalAnswerer();
  ~ModalAnswerer() override;

  void AcceptName(const QString& name, std::function<void(QWidget*)> before = {});
  void Cancel(std::function<void(QWidget*)> before = {});
  void PressEnter(std::function<void(QWidget*)> before = {});
  void PressEscape(std::function<void(QWidget*)> before = {});

  const std::vector<SeenModal>& seen() const { return seen_; }
  int unanswered() const { return unanswered_; }
  bool AllAnswersUsed() const { return answers_.empty(); }
  // The kinds seen, in order, for compact comparisons.
  std::vector<SeenModal::Kind> Kinds() const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Answer(QPointer<QWidget> window, std::size_t index);

  std::deque<ModalAnswer> answers_;
  std::vector<SeenModal> seen_;
  int unanswered_ = 0;
};

}  // namespace pelmoro::testing
