// The information panel: a dock beside the lists that shows what the current
// picture is (name, folder, sizes, format, date taken, camera, exposure, GPS
// position, a RIM file's header). It only shows the rows of CImageInfo.
#pragma once

#include <QDockWidget>

class CFolimDoc;
class CImageInfo;
class QFormLayout;
class QLabel;

class CInfoPanel : public QDockWidget {
  Q_OBJECT

 public:
  explicit CInfoPanel(CFolimDoc& doc, QWidget* parent = nullptr);
  ~CInfoPanel() override;

  CImageInfo* info() const { return info_; }
  // The text shown beside the label, or an empty text.
  QString valueOf(const QString& label) const;

 private:
  void showRows();

  CImageInfo* info_;
  QFormLayout* form_;
  QLabel* empty_;
};
