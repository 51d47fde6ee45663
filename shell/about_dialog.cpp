#include "shell/about_dialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include "imageio/image_ex.h"

QIcon folimIcon() {
  QIcon icon;
  for (int size : {16, 32, 48}) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    const int half = size / 2;
    painter.fillRect(0, 0, half, half, baseTypeColour(0));
    painter.fillRect(half, 0, size - half, half, baseTypeColour(1));
    painter.fillRect(0, half, size, size - half, baseTypeColour(326));
    painter.setPen(Qt::white);
    QFont font = painter.font();
    font.setPixelSize(size / 2);
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(QRect(0, half, size, size - half), Qt::AlignCenter, QStringLiteral("F"));
    icon.addPixmap(pixmap);
  }
  return icon;
}

CAboutDlg::CAboutDlg(QWidget* parent)
    : QDialog(parent),
      version_(new QLabel(tr("Hobeka Version beta"))),
      description_(new QLabel(tr("Image viewer with search by image similarity (RIM format)"))) {
  setObjectName(QStringLiteral("aboutDialog"));
  setWindowTitle(tr("Folim version information"));
  setModal(true);

  auto* icon = new QLabel;
  icon->setPixmap(folimIcon().pixmap(32, 32));
  icon->setAlignment(Qt::AlignTop);

  auto* texts = new QVBoxLayout;
  texts->addWidget(version_);
  texts->addWidget(description_);
  texts->addStretch();

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
  buttons->button(QDialogButtonBox::Ok)->setText(tr("OK"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

  auto* top = new QHBoxLayout;
  top->addWidget(icon);
  top->addSpacing(12);
  top->addLayout(texts, 1);
  top->addWidget(buttons, 0, Qt::AlignTop);
  setLayout(top);
}
