// "Folim version information": the application icon, the version line and
// an OK button.
#pragma once

#include <QDialog>

class QLabel;

class CAboutDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CAboutDlg(QWidget* parent = nullptr);

  QLabel* versionLabel() const { return version_; }
  QLabel* descriptionLabel() const { return description_; }

 private:
  QLabel* version_;
  QLabel* description_;
};

// The application icon: three tiles in the colours of the three base types.
QIcon folimIcon();
