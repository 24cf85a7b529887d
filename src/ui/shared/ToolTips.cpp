#include "ui/shared/ToolTips.h"

#include <QAbstractItemView>
#include <QHeaderView>
#include <QHelpEvent>
#include <QPushButton>
#include <QStringList>
#include <QTextBoundaryFinder>
#include <QToolTip>
#include <QWidget>

#include <algorithm>

namespace tolvek {

namespace {

// Room the tooltip's frame and margins take from the maximum width.
constexpr int ToolTipFrameAllowance = 12;

// Breaks one paragraph (no line breaks inside) into lines no wider than maxWidth.
QStringList wrapParagraph(const QString& paragraph, const QFontMetrics& fm, int maxWidth)
{
    QStringList lines;
    QString line;
    auto fits = [&](const QString& s) { return fm.horizontalAdvance(s) <= maxWidth; };

    // The pieces between allowed line breaks; each piece keeps its trailing spaces.
    QStringList pieces;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Line, paragraph);
    qsizetype start = 0;
    while (finder.toNextBoundary() != -1) {
        const qsizetype end = finder.position();
        if (end > start)
            pieces << paragraph.mid(start, end - start);
        start = end;
    }
    if (start < paragraph.size())
        pieces << paragraph.mid(start);

    for (const QString& piece : pieces) {
        if (fits(line + piece.trimmed())) {
            line += piece;
            continue;
        }
        if (!line.isEmpty()) {
            lines << line.trimmed();
            line.clear();
        }
        // A piece wider than a whole line is cut between characters (never inside a surrogate pair).
        QString rest = piece;
        while (!fits(rest.trimmed()) && rest.size() > 1) {
            qsizetype n = 1;
            while (n < rest.size()) {
                qsizetype next = n + (rest.at(n).isHighSurrogate() ? 2 : 1);
                if (next > rest.size() || !fits(rest.left(next)))
                    break;
                n = next;
            }
            lines << rest.left(n);
            rest = rest.mid(n);
        }
        line = rest;
    }
    if (!line.trimmed().isEmpty() || lines.isEmpty())
        lines << line.trimmed();
    return lines;
}

} // namespace

QString wrapToolTip(const QString& text, const QFontMetrics& fm, int maxWidth)
{
    QStringList out;
    const QStringList paragraphs =
        QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")).split(u'\n');
    for (const QString& p : paragraphs)
        out << wrapParagraph(p, fm, maxWidth);
    return out.join(u'\n');
}

QString toolTipLayout(const QString& text)
{
    return wrapToolTip(text, QFontMetrics(QToolTip::font()), ToolTipMaxWidth - ToolTipFrameAllowance);
}

int widestLine(const QString& text, const QFontMetrics& fm)
{
    int widest = 0;
    for (const QString& line :
         QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")).split(u'\n'))
        widest = std::max(widest, fm.horizontalAdvance(line));
    return widest;
}

QString toolTipTextAt(const QWidget* w, const QPoint& pos)
{
    if (!w)
        return {};
    if (auto* header = qobject_cast<const QHeaderView*>(w->parentWidget())) {
        const int section = header->logicalIndexAt(pos);
        if (section >= 0 && header->model())
            return header->model()->headerData(section, header->orientation(), Qt::ToolTipRole).toString();
        return {};
    }
    if (auto* view = qobject_cast<const QAbstractItemView*>(w->parentWidget());
        view && view->viewport() == w) {
        const QModelIndex index = view->indexAt(pos);
        const QString row = index.isValid() ? index.data(Qt::ToolTipRole).toString() : QString();
        return row.isEmpty() ? view->toolTip() : row;
    }
    return w->toolTip();
}

bool showWrappedToolTip(QWidget* w, QEvent* e)
{
    auto* help = static_cast<QHelpEvent*>(e);
    const QString text = toolTipTextAt(w, help->pos());
    if (text.isEmpty())
        return false;
    if (qobject_cast<QPushButton*>(w)) {
        // Just below the button instead of below the pointer, so that a tooltip of the top row
        // never lies over another button of that row.
        const bool rtl = w->layoutDirection() == Qt::RightToLeft;
        QToolTip::showText(w->mapToGlobal(QPoint(rtl ? w->width() : 0, w->height() + 2)), toolTipLayout(text),
                           w);
        return true;
    }
    QToolTip::showText(help->globalPos(), toolTipLayout(text), w);
    return true;
}

} // namespace tolvek
