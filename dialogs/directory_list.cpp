// The directory list and the drawing of its entries.
#include "dialogs/directory_list.h"

#include "dialogs/item_painting.h"
#include "dialogs/resource_picture.h"

#include <QKeyEvent>
#include <QPainter>
#include <QPixmap>
#include <QStyledItemDelegate>

#include <algorithm>
#include <array>

namespace picbatch {

namespace {

// The folder icons are 16 pixels wide; the name starts 4 pixels right of the icon.
constexpr int kIconWidth = 16;
constexpr int kTextGap = 4;
// Open-folder icon height (15) plus one pixel between the rows.
constexpr int kMinimumItemHeight = 16;

class DirectoryItemDelegate : public QStyledItemDelegate {
public:
    explicit DirectoryItemDelegate(QObject* parent)
        : QStyledItemDelegate(parent),
          m_icons{QPixmap::fromImage(ResourcePicture(QStringLiteral("OPENFOLDER"))),
                  QPixmap::fromImage(ResourcePicture(QStringLiteral("CURRENTFOLDER"))),
                  QPixmap::fromImage(ResourcePicture(QStringLiteral("CLOSEDFOLDER")))}
    {
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const int indent = index.data(DirectoryList::kIndentRole).toInt();
        const int textWidth = option.fontMetrics.horizontalAdvance(index.data().toString());
        return {indent + kIconWidth + kTextGap + textWidth + 2,
                std::max(option.fontMetrics.height(), kMinimumItemHeight)};
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        PaintItemBackground(*painter, option);

        const int indent = index.data(DirectoryList::kIndentRole).toInt();
        const int iconIndex = std::clamp(index.data(DirectoryList::kIconRole).toInt(), 0, 2);
        const QPixmap& icon = m_icons[static_cast<std::size_t>(iconIndex)];
        const int iconTop = option.rect.top() + (option.rect.height() - icon.height()) / 2;
        painter->drawPixmap(option.rect.left() + indent, iconTop, icon);

        QRect textRect = option.rect;
        textRect.setLeft(option.rect.left() + indent + kIconWidth + kTextGap);
        painter->drawText(textRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                          index.data().toString());
        PaintItemFocus(*painter, option);
    }

private:
    std::array<QPixmap, 3> m_icons;  // in FolderIcon order
};

}  // namespace

DirectoryList::DirectoryList(QWidget* parent)
    : QListWidget(parent)
{
    setItemDelegate(new DirectoryItemDelegate(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    connect(this, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { emit OpenRequested(row(item)); });
}

void DirectoryList::SetEntries(std::vector<DirectoryEntry> entries)
{
    clear();
    m_entries = std::move(entries);
    int currentRow = 0;
    for (const DirectoryEntry& entry : m_entries) {
        auto* item = new QListWidgetItem(QString::fromStdString(entry.text), this);
        item->setData(kIndentRole, entry.indent);
        item->setData(kIconRole, static_cast<int>(entry.icon));
        if (entry.icon == FolderIcon::Current)
            currentRow = count() - 1;
    }
    setCurrentRow(currentRow);
    scrollToItem(currentItem());
}

void DirectoryList::keyPressEvent(QKeyEvent* event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && event->modifiers().testFlag(Qt::ShiftModifier)) {
        if (currentRow() >= 0)
            emit OpenRequested(currentRow());
        event->accept();
        return;
    }
    // Plain Enter goes on to the dialog, which presses its default button (OK).
    QListWidget::keyPressEvent(event);
}

}  // namespace picbatch
