// Everything is placed from the controls' rectangles in app/window_layout.h, so that the
// faces and labels stay under and beside the controls that the window puts there.
#include "tools/artwork/draw_artwork.h"

#include <QFont>
#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include "app/window_layout.h"

namespace picbatch {

namespace {

using namespace layout;

const QColor kBackground(0xF1, 0xF4, 0xF9);
const QColor kCard(0xFF, 0xFF, 0xFF);
const QColor kCardBorder(0xDA, 0xE1, 0xEC);
const QColor kText(0x1F, 0x29, 0x37);
const QColor kMuted(0x64, 0x6E, 0x7D);
const QColor kAccent(0x25, 0x63, 0xEB);
const QColor kAccentDark(0x1D, 0x4E, 0xD8);
const QColor kFieldFill(0xF8, 0xFA, 0xFC);
const QColor kFieldBorder(0xC4, 0xCF, 0xDD);
const QColor kFaceTop(0xFF, 0xFF, 0xFF);
const QColor kFaceBottom(0xE6, 0xEC, 0xF5);
const QColor kFaceBorder(0xA9, 0xB7, 0xCB);
const QColor kFaceText(0x1E, 0x3A, 0x8A);
const QColor kTipsFill(0xEA, 0xF1, 0xFE);
const QColor kTipsBorder(0xC9, 0xDA, 0xFB);

// Left edge of the label column and right edge the labels are aligned to.
constexpr int kLabelLeft = 58;
constexpr int kLabelRight = 140;
// The card holding the form, and the tips panel right of it.
constexpr QRect kFormCard{40, 160, 452, 240};
constexpr QRect kTipsPanel{504, 160, 152, 240};

QFont Font(int pixelSize, bool bold = false)
{
    QFont font(kFontFamily);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    font.setHintingPreference(QFont::PreferFullHinting);
    return font;
}

// A form label: vertically centred on `band` (a control's rectangle), ending at `right`.
void DrawLabel(QPainter& painter, const QString& text, int right, const QRect& band)
{
    painter.setFont(Font(13));
    painter.setPen(kText);
    const QRect box(kLabelLeft, band.top() - 4, right - kLabelLeft, band.height() + 8);
    painter.drawText(box, Qt::AlignRight | Qt::AlignVCenter, text);
}

void DrawField(QPainter& painter, const QRect& control)
{
    // A box a little larger than the borderless edit, so its text has room to breathe.
    const QRectF box = QRectF(control).adjusted(-6.5, -4.5, 6.5, 4.5);
    painter.setPen(QPen(kFieldBorder, 1));
    painter.setBrush(kFieldFill);
    painter.drawRoundedRect(box, 4, 4);
}

void DrawFace(QPainter& painter, const QRect& control, const QString& caption)
{
    const QRectF face = QRectF(control).adjusted(0.5, 0.5, -0.5, -0.5);
    QLinearGradient fill(face.topLeft(), face.bottomLeft());
    fill.setColorAt(0, kFaceTop);
    fill.setColorAt(1, kFaceBottom);
    painter.setPen(QPen(kFaceBorder, 1));
    painter.setBrush(fill);
    painter.drawRoundedRect(face, kFaceRadius, kFaceRadius);
    painter.setFont(Font(12));
    painter.setPen(kFaceText);
    painter.drawText(control, Qt::AlignCenter, caption);
}

void DrawPrimaryFace(QPainter& painter, const QRect& control, const QString& caption)
{
    const QRectF face = QRectF(control).adjusted(0.5, 0.5, -0.5, -0.5);
    QLinearGradient fill(face.topLeft(), face.bottomLeft());
    fill.setColorAt(0, kAccent);
    fill.setColorAt(1, kAccentDark);
    painter.setPen(QPen(kAccentDark.darker(115), 1));
    painter.setBrush(fill);
    painter.drawRoundedRect(face, kFaceRadius, kFaceRadius);
    painter.setFont(Font(14, true));
    painter.setPen(Qt::white);
    painter.drawText(control, Qt::AlignCenter, caption);
}

void DrawCard(QPainter& painter, const QRect& card, const QColor& fill, const QColor& border)
{
    // A soft shadow: two offset, nearly transparent copies of the card's shape.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x1F, 0x29, 0x37, 10));
    painter.drawRoundedRect(QRectF(card).translated(0, 3), 9, 9);
    painter.setBrush(QColor(0x1F, 0x29, 0x37, 8));
    painter.drawRoundedRect(QRectF(card).translated(0, 1.5), 8, 8);
    painter.setPen(QPen(border, 1));
    painter.setBrush(fill);
    painter.drawRoundedRect(QRectF(card).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
}

void DrawOutputRow(QPainter& painter)
{
    // Frame from just left of the first radio to past the last caption, centred on the radios.
    const QRect frame(kKeepFormatRadio.left() - 10, kKeepFormatRadio.top() - 8, 228,
                      kKeepFormatRadio.height() + 15);
    painter.setPen(QPen(kFieldBorder, 1));
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(QRectF(frame).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);

    painter.setFont(Font(13));
    painter.setPen(kText);
    const struct {
        QRect radio;
        const char* caption;
    } items[] = {{kKeepFormatRadio, "自动"}, {kJpegRadio, "jpeg"}, {kBmpRadio, "bmp"}};
    for (const auto& item : items) {
        const QRect text(item.radio.right() + 4, item.radio.top() - 2, 50,
                         item.radio.height() + 4);
        painter.drawText(text, Qt::AlignLeft | Qt::AlignVCenter, QString::fromUtf8(item.caption));
    }
}

void DrawHeader(QPainter& painter)
{
    // A thin accent band along the top edge.
    painter.fillRect(QRect(0, 0, kArtworkSize.width(), 4), kAccent);

    constexpr int kIconSize = 60;
    const QImage icon = DrawIcon(kIconSize);
    painter.drawImage(QPoint(kHelpCaption.left() - kIconSize - 14, 62), icon);

    painter.setFont(Font(26, true));
    painter.setPen(kText);
    painter.drawText(QPoint(kHelpCaption.left() - 1, 104), QString::fromUtf8("Kavrel图片批处理工具"));

    // The help line: the caption's click area lies over this text, the link follows it on
    // the right.
    painter.setFont(Font(12));
    painter.setPen(kMuted);
    painter.drawText(kHelpCaption.adjusted(0, -2, 4, 3), Qt::AlignLeft | Qt::AlignVCenter,
                     QString::fromUtf8("使用说明与帮助 ›"));

    painter.setFont(Font(12));
    painter.setPen(kMuted);
    const QRect tagline(kTipsPanel.left(), 84, kTipsPanel.width(), 40);
    painter.drawText(tagline, Qt::AlignRight | Qt::AlignVCenter | Qt::TextWordWrap,
                     QString::fromUtf8("批量缩放 BMP / JPEG 图片"));
}

void DrawForm(QPainter& painter)
{
    DrawCard(painter, kFormCard, kCard, kCardBorder);

    DrawLabel(painter, QString::fromUtf8("源文件夹"), kLabelRight, kSourceField);
    DrawField(painter, kSourceField);
    DrawFace(painter, kSourceButton, QString::fromUtf8("浏览"));

    DrawLabel(painter, QString::fromUtf8("保存到"), kLabelRight, kDestinationField);
    DrawField(painter, kDestinationField);
    DrawFace(painter, kDestinationButton, QString::fromUtf8("浏览"));

    DrawLabel(painter, QString::fromUtf8("图片尺寸"), kLabelRight, kSizeList);
    painter.setPen(QPen(kFieldBorder, 1));
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(QRectF(kSizeList).adjusted(-1.5, -1.5, 1.5, 1.5), 3, 3);
    DrawFace(painter, kCustomSizeButton, QString::fromUtf8("自定义"));

    DrawLabel(painter, QString::fromUtf8("输出格式"), kLabelRight, kKeepFormatRadio);
    DrawOutputRow(painter);
    DrawPrimaryFace(painter, kStartButton, QString::fromUtf8("确定"));

    // The progress bar's track: the bar covers it during a run.
    DrawLabel(painter, QString::fromUtf8("进度"), kLabelRight, kProgressBar);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xE8, 0xED, 0xF4));
    painter.drawRoundedRect(QRectF(kProgressBar), 5, 5);
}

void DrawTips(QPainter& painter)
{
    DrawCard(painter, kTipsPanel, kTipsFill, kTipsBorder);
    const int left = kTipsPanel.left() + 14;
    const int width = kTipsPanel.width() - 26;
    int y = kTipsPanel.top() + 14;

    painter.setFont(Font(14, true));
    painter.setPen(kAccentDark);
    painter.drawText(QRect(left, y, width, 20), Qt::AlignLeft | Qt::AlignVCenter,
                     QString::fromUtf8("使用提示"));
    y += 30;

    const char* steps[] = {
        "选择源文件夹",
        "选择保存位置",
        "选好尺寸和格式",
        "点“确定”开始\n再点一次即停止",
    };
    constexpr int kBadge = 16;  // diameter of the step number's circle
    const QFont stepFont = Font(12);
    const QFontMetrics metrics(stepFont);
    int number = 1;
    for (const char* step : steps) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(kAccent);
        painter.drawEllipse(QRectF(left, y, kBadge, kBadge));
        painter.setFont(Font(11, true));
        painter.setPen(Qt::white);
        painter.drawText(QRect(left, y, kBadge, kBadge), Qt::AlignCenter, QString::number(number++));

        const QRect textBox(left + kBadge + 6, y, width - kBadge - 6, 60);
        const QString text = QString::fromUtf8(step);
        painter.setFont(stepFont);
        painter.setPen(kText);
        const QRect used = metrics.boundingRect(textBox, Qt::TextWordWrap, text);
        painter.drawText(textBox, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text);
        y += std::max(used.height(), kBadge) + 10;
    }

    y += 2;
    painter.setPen(QPen(kTipsBorder, 1));
    painter.drawLine(left, y, left + width, y);
    y += 8;
    painter.setFont(Font(11));
    painter.setPen(kMuted);
    painter.drawText(QRect(left, y, width, kTipsPanel.bottom() - y - 8),
                     Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                     QString::fromUtf8("输出文件的主名为大写；处理失败的图片会在结束时列出。"));
}

void DrawFooter(QPainter& painter)
{
    painter.setFont(Font(11));
    painter.setPen(kMuted);
    const QRect footer(0, kFormCard.bottom() + 2, kClientSize.width(),
                       kClientSize.height() - kFormCard.bottom() - 2);
    painter.drawText(footer, Qt::AlignCenter,
                     QString::fromUtf8("输入 BMP、JPEG  ·  输出 JPEG（质量 90）或 24 位 BMP  ·  Lanczos-3 重采样"));
}

}  // namespace

QImage DrawArtwork()
{
    QImage image(kArtworkSize, QImage::Format_RGB32);
    image.fill(kBackground);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    DrawHeader(painter);
    DrawForm(painter);
    DrawTips(painter);
    DrawFooter(painter);
    return image;
}

QImage DrawIcon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 64.0, size / 64.0);  // drawn on a 64-unit grid

    QLinearGradient tile(0, 0, 0, 64);
    tile.setColorAt(0, QColor(0x3B, 0x82, 0xF6));
    tile.setColorAt(1, kAccentDark);
    painter.setPen(Qt::NoPen);
    painter.setBrush(tile);
    painter.drawRoundedRect(QRectF(2, 2, 60, 60), 13, 13);

    // A photo behind a photo: the batch.
    painter.setBrush(QColor(255, 255, 255, 110));
    painter.drawRoundedRect(QRectF(17, 11, 36, 28), 4, 4);
    const QRectF photo(11, 19, 36, 28);
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(photo, 4, 4);

    painter.setClipRect(photo.adjusted(3, 3, -3, -3));
    painter.setBrush(QColor(0xBF, 0xDB, 0xFE));
    painter.drawRect(photo);
    QPainterPath hills;
    hills.moveTo(14, 44);
    hills.lineTo(23, 31);
    hills.lineTo(29, 38);
    hills.lineTo(34, 33);
    hills.lineTo(44, 44);
    hills.closeSubpath();
    painter.setBrush(QColor(0x16, 0xA3, 0x4A));
    painter.drawPath(hills);
    painter.setBrush(QColor(0xFB, 0xBF, 0x24));
    painter.drawEllipse(QPointF(37, 27), 3.2, 3.2);
    painter.setClipping(false);

    // The resize arrow at the bottom right.
    QPen arrow(Qt::white, 3.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(arrow);
    painter.drawLine(QPointF(43, 43), QPointF(54, 54));
    painter.drawPolyline(QPolygonF({QPointF(46, 54), QPointF(54, 54), QPointF(54, 46)}));
    return image;
}

}  // namespace picbatch
