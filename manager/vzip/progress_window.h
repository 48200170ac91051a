// The progress window: one instance, created with the main window, a tool
// window centred over it, captioned "Please Wait...". It shows the
// operation's label (chosen by a letter A..K, see MainController's
// progressLabel), the current file, a bar 0..100, a running busy
// indicator while shown, and "&Cancel", which marks the window cancelled
// and calls the cancel handler (the controller sets the wrapper's Abort).
#pragma once

#include <QDialog>
#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;

namespace vz::vzip {

class ProgressWindow : public QDialog {
  Q_OBJECT
 public:
  explicit ProgressWindow(QWidget* parent = nullptr);

  // Opens with the letter's label; bar 0, feedback cleared, not cancelled.
  void open(char letter);
  void setPercent(int percent);
  void setFeedback(const QString& text);
  void closeWindow();
  bool cancelled() const { return cancelled_; }
  std::function<void()> onCancel;

  QString operationText() const;
  QPushButton* cancelButton() const { return cancel_; }

 protected:
  void reject() override;  // Escape and the close box cancel as well

 private:
  QLabel* operation_;       // the operation's label
  QLabel* feedback_;        // the current file
  QProgressBar* bar_;       // 0..100
  QProgressBar* busy_;      // the running indicator (an endless bar)
  QPushButton* cancel_;     // "&Cancel"
  bool cancelled_ = false;  // Cancel was pressed since the last open
};

}  // namespace vz::vzip
