// The file list: a plain list of names, drawn 2 pixels from the left at the top.
#include "dialogs/file_list.h"

#include "batch/source_listing.h"

#include "dialogs/item_painting.h"

#include <QPainter>
#include <QStyledItemDelegate>

namespace picbatch {

namespace {

constexpr int kTextLeft = 2;

class FileItemDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        return {kTextLeft + option.fontMetrics.horizontalAdvance(index.data().toString()) + 2,
                option.fontMetrics.height()};
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        PaintItemBackground(*painter, option);
        painter->drawText(option.rect.adjusted(kTextLeft, 0, 0, 0),
                          Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, index.data().toString());
        PaintItemFocus(*painter, option);
    }
};

}  // namespace

FileList::FileList(QWidget* parent)
    : QListWidget(parent)
{
    setItemDelegate(new FileItemDelegate(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
}

void FileList::paintEvent(QPaintEvent* event)
{
    QListWidget::paintEvent(event);
    // Without a current item (an empty folder) no item shows the focus: the list does.
    if (hasFocus() && !currentIndex().isValid()) {
        QPainter painter(viewport());
        painter.setPen(palette().color(QPalette::Text));
        PaintFocusFrame(painter, viewport()->rect());
    }
}

void FileList::SetFolder(const std::string& folder)
{
    if (m_listed && folder == m_folder)
        return;
    m_folder = folder;
    m_listed = true;
    clear();
    for (const std::string& name : ListFolderFiles(folder))
        addItem(QString::fromStdString(name));
}

}  // namespace picbatch
