#include "shell/keyboard_shortcuts.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QRegularExpression>
#include <QStyleOptionMenuItem>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace {

// A mnemonic in brackets at the end, as Japanese captions write it: "(&O)".
const QRegularExpression& bracketedMnemonic() {
  static const QRegularExpression pattern(QStringLiteral("\\(&(.)\\)$"));
  return pattern;
}

template <typename Option>
Option withDisplayText(const QStyleOption* option) {
  Option copy(*static_cast<const Option*>(option));
  copy.text = MenuItemDisplayText(copy.text);
  return copy;
}

}  // namespace

QString MenuItemDisplayText(const QString& caption) {
  const qsizetype tab = caption.indexOf(QLatin1Char('\t'));
  if (tab < 0) return caption;
  QString label = caption.left(tab);
  QString keys = caption.mid(tab + 1);
  const QRegularExpressionMatch match = bracketedMnemonic().match(keys);
  if (!match.hasMatch()) return caption;
  keys.chop(match.capturedLength());
  // Before a closing "..." as in "開く(&O)...".
  const QString ellipsis = QStringLiteral("...");
  const qsizetype at = label.endsWith(ellipsis) ? label.size() - ellipsis.size() : label.size();
  label.insert(at, match.captured(0));
  return label + QLatin1Char('\t') + keys;
}

QString PlainActionText(const QString& caption) {
  QString text = caption.section(QLatin1Char('\t'), 0, 0);
  text.remove(QRegularExpression(QStringLiteral("\\(&.\\)")));
  text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
  text.remove(QLatin1Char('&'));
  text.replace(QLatin1Char('\x01'), QLatin1Char('&'));
  if (text.endsWith(QStringLiteral("..."))) text.chop(3);
  return text.trimmed();
}

std::vector<ShortcutRow> ShortcutRows(const QList<QAction*>& actions) {
  std::vector<ShortcutRow> rows;
  QList<const QAction*> seen;
  for (const QAction* action : actions) {
    if (action == nullptr || action->isSeparator() || action->shortcuts().isEmpty()) continue;
    if (seen.contains(action)) continue;
    seen << action;
    const QString text = PlainActionText(action->text());
    if (text.isEmpty()) continue;
    QStringList keys;
    for (const QKeySequence& key : action->shortcuts()) {
      const QString name = key.toString(QKeySequence::NativeText);
      if (!name.isEmpty() && !keys.contains(name)) keys << name;
    }
    rows.push_back({text, keys.join(QStringLiteral(", "))});
  }
  return rows;
}

void CMenuTextStyle::drawControl(ControlElement element, const QStyleOption* option,
                                 QPainter* painter, const QWidget* widget) const {
  if (element == CE_MenuItem && qstyleoption_cast<const QStyleOptionMenuItem*>(option)) {
    const auto shown = withDisplayText<QStyleOptionMenuItem>(option);
    QProxyStyle::drawControl(element, &shown, painter, widget);
    return;
  }
  QProxyStyle::drawControl(element, option, painter, widget);
}

QSize CMenuTextStyle::sizeFromContents(ContentsType type, const QStyleOption* option,
                                       const QSize& size, const QWidget* widget) const {
  if (type == CT_MenuItem && qstyleoption_cast<const QStyleOptionMenuItem*>(option)) {
    const auto shown = withDisplayText<QStyleOptionMenuItem>(option);
    return QProxyStyle::sizeFromContents(type, &shown, size, widget);
  }
  return QProxyStyle::sizeFromContents(type, option, size, widget);
}

CKeysDialog::CKeysDialog(const std::vector<ShortcutRow>& rows, QWidget* parent)
    : QDialog(parent), table_(new QTableWidget(static_cast<int>(rows.size()), 2)) {
  setObjectName(QStringLiteral("keysDialog"));
  setWindowTitle(tr("Keyboard Shortcuts"));
  table_->setObjectName(QStringLiteral("keysTable"));
  table_->setHorizontalHeaderLabels({tr("Action"), tr("Keys")});
  table_->verticalHeader()->hide();
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
    table_->setItem(r, 0, new QTableWidgetItem(rows[static_cast<std::size_t>(r)].action));
    table_->setItem(r, 1, new QTableWidgetItem(rows[static_cast<std::size_t>(r)].keys));
  }
  table_->resizeColumnsToContents();
  table_->horizontalHeader()->setStretchLastSection(true);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
  buttons->button(QDialogButtonBox::Close)->setText(tr("Close"));
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(table_);
  layout->addWidget(buttons);
  resize(std::max(420, table_->horizontalHeader()->length() + 40), 480);
}
