// linkvigil-makehelp: lays out the user guide from its Markdown text with
// Qt's text engine and prints it to a PDF file: A4, a title block with the
// version, a contents list and the figures (pictures of the real windows,
// made by linkvigil-figures), on the pages the outage report has too (the
// margins, colours, running header and "Page N of M" of page/).
//
//   linkvigil-makehelp INPUT.md FIGURE-FOLDER OUTPUT.pdf
//
// Needs no display: without QT_QPA_PLATFORM it uses the offscreen platform.
// A figure is written in the text as ![caption](figure:NAME), the picture
// FIGURE-FOLDER/NAME.png; nothing else is loaded from anywhere. The PDF only replaces OUTPUT once it is complete.

#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QList>
#include <QPainter>
#include <QPainterPath>
#include <QString>
#include <QStringList>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextFrame>
#include <QTextList>
#include <QTextTable>
#include <QUrl>

#include "page/PageComposer.h"
#include "page/PageStyle.h"
#include "page/PdfPages.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#ifndef LINKVIGIL_VERSION
#define LINKVIGIL_VERSION "0.0.0"
#endif

namespace {

// ---------------------------------------------------------------------------
// Page geometry and typography

constexpr double kBodyPoints = 10;
constexpr double kCodePoints = 8.8;
constexpr double kTablePoints = 9;

QString version() {
    return QString::fromLatin1(LINKVIGIL_VERSION);
}

using page::kCodeBackground;
using page::kHeading;
using page::kQuiet;
using page::kRule;
using page::kTableHeaderBackground;
using page::mm;
using page::monoFamilies;
using page::sansFamilies;

// Lengths in text formats are layout pixels, 96 to the inch; the layout
// scales them to the printer's resolution.
double pt(double points) {
    return points * 96.0 / 72.0;
}

void fail(const QString& message) {
    std::fprintf(stderr, "linkvigil-makehelp: %s\n", message.toLocal8Bit().constData());
}

// ---------------------------------------------------------------------------
// Figures: pictures of the real windows, rendered at build time into the
// figures folder (linkvigil-figures), NAME.png; the numbers the text refers
// to are on them.

struct Figure {
    const char* name;
    double widthMm; // as printed
};

const Figure kFigures[] = {
    {"main-window", 94},     {"settings", 80},      {"warning", 64},   {"outages", 150},
    {"history-window", 150}, {"route-window", 150}, {"tray-menu", 40},
};

QString& figureFolder() {
    static QString folder;
    return folder;
}

QImage figureImage(const Figure& figure) {
    return QImage(figureFolder() + u'/' + QLatin1String(figure.name) + QStringLiteral(".png"));
}

const Figure* findFigure(const QString& name) {
    for (const Figure& figure : kFigures)
        if (name == QLatin1String(figure.name))
            return &figure;
    return nullptr;
}

// ---------------------------------------------------------------------------
// The document

// Images come only from the figures above; any other reference is an error.
class GuideDocument : public QTextDocument {
public:
    QStringList unknownResources;

protected:
    QVariant loadResource(int type, const QUrl& name) override {
        if (type == QTextDocument::ImageResource && name.scheme() == QLatin1String("figure")) {
            if (const Figure* figure = findFigure(name.path())) {
                QImage image = figureImage(*figure);
                if (!image.isNull()) {
                    addResource(type, name, image);
                    return image;
                }
            }
        }
        if (!unknownResources.contains(name.toString()))
            unknownResources << name.toString();
        return {};
    }
};

// Whether a block holds preformatted code (a fenced or indented block).
bool isCode(const QTextBlock& block) {
    const QTextBlockFormat format = block.blockFormat();
    return format.hasProperty(QTextFormat::BlockCodeFence) || format.hasProperty(QTextFormat::BlockCodeLanguage) ||
           format.nonBreakableLines();
}

QTextTable* tableOf(const QTextBlock& block) {
    return QTextCursor(block).currentTable();
}

// Applies `change` to the character format of every fragment of the block.
void editCharFormats(const QTextBlock& block, const std::function<void(QTextCharFormat&)>& change) {
    struct Run {
        int position;
        int length;
        QTextCharFormat format;
    };
    std::vector<Run> runs;
    for (auto it = block.begin(); !it.atEnd(); ++it)
        runs.push_back({it.fragment().position(), it.fragment().length(), it.fragment().charFormat()});
    for (Run& run : runs) {
        if (run.format.isImageFormat())
            continue;
        QTextCursor cursor(block);
        cursor.setPosition(run.position);
        cursor.setPosition(run.position + run.length, QTextCursor::KeepAnchor);
        change(run.format);
        cursor.setCharFormat(run.format);
    }
    // The format an empty block or its end uses.
    QTextCursor cursor(block);
    QTextCharFormat format = block.charFormat();
    change(format);
    cursor.setBlockCharFormat(format);
}

void setFamilies(QTextCharFormat& format, const QStringList& families) {
    format.setFontFamilies(families);
    format.setFontStyleHint(families == monoFamilies() ? QFont::Monospace : QFont::SansSerif);
}

// A fixed-pitch run (code span or code block) in the monospaced face.
bool isFixedPitch(const QTextCharFormat& format) {
    return format.fontFixedPitch() || format.font().fixedPitch();
}

void styleHeading(const QTextBlock& block, int level) {
    QTextCursor cursor(block);
    QTextBlockFormat format = block.blockFormat();
    static const double sizes[] = {15, 12, 10.5, 10, 10, 10};
    static const double above[] = {15, 10, 8, 7, 7, 7};
    static const double below[] = {6, 4, 3, 3, 3, 3};
    const int i = std::clamp(level, 1, 6) - 1;
    format.setTopMargin(pt(above[i]));
    format.setBottomMargin(pt(below[i]));
    format.setLineHeight(100, QTextBlockFormat::SingleHeight);
    cursor.setBlockFormat(format);
    editCharFormats(block, [&](QTextCharFormat& c) {
        c.clearProperty(QTextFormat::FontSizeAdjustment);
        setFamilies(c, sansFamilies());
        c.setFontPointSize(sizes[i]);
        c.setFontWeight(QFont::Bold);
        c.setForeground(level <= 2 ? kHeading : QColor(Qt::black));
    });
}

void styleBody(const QTextBlock& block, double points) {
    editCharFormats(block, [&](QTextCharFormat& c) {
        c.clearProperty(QTextFormat::FontSizeAdjustment);
        if (isFixedPitch(c)) {
            setFamilies(c, monoFamilies());
            c.setFontFixedPitch(true);
            c.setFontPointSize(points * 0.92);
        } else {
            setFamilies(c, sansFamilies());
            c.setFontPointSize(points);
        }
    });
}

void styleCode(const QTextBlock& block) {
    QTextCursor cursor(block);
    QTextBlockFormat format = block.blockFormat();
    format.setLeftMargin(0);
    format.setRightMargin(0);
    format.setTextIndent(0);
    format.setTopMargin(0);
    format.setBottomMargin(0);
    format.setLineHeight(100, QTextBlockFormat::SingleHeight);
    // A line too long for the page wraps instead of running off its edge.
    format.setNonBreakableLines(false);
    cursor.setBlockFormat(format);
    editCharFormats(block, [&](QTextCharFormat& c) {
        c.clearProperty(QTextFormat::FontSizeAdjustment);
        setFamilies(c, monoFamilies());
        c.setFontFixedPitch(true);
        c.setFontPointSize(kCodePoints);
    });
}

void styleTable(QTextTable* table) {
    QTextTableFormat format = table->format();
    format.setBorder(0.75);
    format.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
    format.setBorderBrush(kRule);
    format.setBorderCollapse(true);
    format.setCellSpacing(0);
    format.setCellPadding(pt(3.5));
    format.setWidth(QTextLength(QTextLength::PercentageLength, 100));
    format.setHeaderRowCount(1);
    format.setTopMargin(pt(4));
    format.setBottomMargin(pt(10));
    format.setAlignment(Qt::AlignLeft);
    // Three columns are a name, its meaning and a default: the same widths
    // for all of them, so the tables of one section line up.
    if (table->columns() == 3)
        format.setColumnWidthConstraints({QTextLength(QTextLength::PercentageLength, 22),
                                          QTextLength(QTextLength::PercentageLength, 52),
                                          QTextLength(QTextLength::PercentageLength, 26)});
    table->setFormat(format);
    for (int row = 0; row < table->rows(); ++row) {
        for (int column = 0; column < table->columns(); ++column) {
            QTextTableCell cell = table->cellAt(row, column);
            QTextTableCellFormat cellFormat = cell.format().toTableCellFormat();
            cellFormat.setBorder(0.75);
            cellFormat.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
            cellFormat.setBorderBrush(kRule);
            if (row == 0)
                cellFormat.setBackground(kTableHeaderBackground);
            cell.setFormat(cellFormat);
            if (row == 0)
                for (QTextBlock block = cell.firstCursorPosition().block();
                     block.isValid() && block.position() < cell.lastPosition(); block = block.next())
                    editCharFormats(block, [](QTextCharFormat& c) { c.setFontWeight(QFont::Bold); });
        }
    }
}

// Each run of code lines goes into a shaded frame with some padding. From
// the last run to the first, so the positions still to come stay valid.
void frameCodeBlocks(QTextDocument& doc) {
    std::vector<std::pair<int, int>> runs;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        if (!isCode(block) || tableOf(block))
            continue;
        const int end = block.position() + block.length() - 1;
        if (!runs.empty() && isCode(block.previous()) && !tableOf(block.previous()))
            runs.back().second = end;
        else
            runs.emplace_back(block.position(), end);
    }
    QTextFrameFormat format;
    format.setBackground(kCodeBackground);
    format.setBorder(0.75);
    format.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
    format.setBorderBrush(QColor(0xd5, 0xda, 0xe1));
    format.setPadding(pt(4.5));
    format.setTopMargin(pt(1));
    format.setBottomMargin(pt(8));
    for (auto it = runs.rbegin(); it != runs.rend(); ++it) {
        QTextCursor cursor(&doc);
        // A table right after the code would take the frame's closing block
        // into its first cell: give the frame a paragraph to end in.
        const QTextBlock after = doc.findBlock(it->second).next();
        if (after.isValid() && doc.frameAt(after.position()) != doc.rootFrame()) {
            cursor.setPosition(it->second);
            cursor.insertBlock(QTextBlockFormat(), QTextCharFormat());
        }
        cursor.setPosition(it->first);
        cursor.setPosition(it->second, QTextCursor::KeepAnchor);
        cursor.insertFrame(format);
    }
}

// A table right after a code block comes with an empty first paragraph in
// its first cell; it goes.
void tidyTables(QTextDocument& doc) {
    QList<QTextTable*> tables;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next())
        if (QTextTable* table = tableOf(block); table && !tables.contains(table))
            tables << table;
    for (QTextTable* table : std::as_const(tables)) {
        for (int row = 0; row < table->rows(); ++row) {
            for (int column = 0; column < table->columns(); ++column) {
                const QTextTableCell cell = table->cellAt(row, column);
                QTextCursor cursor = cell.firstCursorPosition();
                const QTextBlock first = cursor.block();
                const QTextBlock second = first.next();
                if (first.length() > 1 || !second.isValid() || second.position() >= cell.lastPosition())
                    continue;
                cursor.setBlockFormat(second.blockFormat());
                cursor.setBlockCharFormat(second.charFormat());
                cursor.deleteChar();
            }
        }
    }
}

// Body, list, code and table styles over the whole text.
void styleDocument(QTextDocument& doc) {
    doc.setDefaultFont(page::sans(kBodyPoints));
    doc.setDocumentMargin(0);
    doc.setIndentWidth(pt(18)); // room for a list's "10." inside the margin
    QTextFrameFormat root = doc.rootFrame()->frameFormat();
    root.setMargin(0);
    root.setPadding(0);
    doc.rootFrame()->setFrameFormat(root);

    std::vector<QTextBlock> blocks;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next())
        blocks.push_back(block);
    QList<QTextTable*> tables;
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        const QTextBlock& block = blocks[i];
        const int level = block.blockFormat().headingLevel();
        QTextTable* table = tableOf(block);
        if (table && !tables.contains(table))
            tables << table;
        if (level > 0) {
            styleHeading(block, level);
            continue;
        }
        if (isCode(block)) {
            styleCode(block);
            continue;
        }
        QTextCursor cursor(block);
        QTextBlockFormat format = block.blockFormat();
        // Extra leading below each line keeps list numbers on the baseline.
        if (table)
            format.setLineHeight(100, QTextBlockFormat::SingleHeight);
        else
            format.setLineHeight(pt(1.6), QTextBlockFormat::LineDistanceHeight);
        if (table) {
            format.setTopMargin(0);
            format.setBottomMargin(0);
        } else if (QTextList* list = block.textList()) {
            const bool lastItem = list->itemNumber(block) == list->count() - 1;
            const bool nested = format.indent() > 1 || list->format().indent() > 1;
            format.setTopMargin(0);
            format.setBottomMargin(lastItem && !nested ? pt(6) : pt(2));
        } else {
            format.setTopMargin(0);
            format.setBottomMargin(pt(6));
        }
        cursor.setBlockFormat(format);
        styleBody(block, table ? kTablePoints : kBodyPoints);
    }
    for (QTextTable* table : std::as_const(tables))
        styleTable(table);
    frameCodeBlocks(doc);
}

// Figures: centred, printed at their width.
void placeFigures(QTextDocument& doc) {
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.charFormat().isImageFormat())
                continue;
            QTextImageFormat image = fragment.charFormat().toImageFormat();
            const QUrl url(image.name());
            const Figure* figure = url.scheme() == QLatin1String("figure") ? findFigure(url.path()) : nullptr;
            if (!figure)
                continue;
            const QImage drawn = doc.resource(QTextDocument::ImageResource, url).value<QImage>();
            if (drawn.isNull())
                continue;
            const double width = figure->widthMm / 25.4 * 96;
            image.setWidth(width);
            image.setHeight(width * drawn.height() / drawn.width());
            QTextCursor cursor(&doc);
            cursor.setPosition(fragment.position());
            cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
            cursor.setCharFormat(image);
            QTextBlockFormat format = block.blockFormat();
            format.setAlignment(Qt::AlignHCenter);
            format.setTopMargin(pt(4));
            format.setBottomMargin(pt(4));
            format.setLineHeight(100, QTextBlockFormat::SingleHeight);
            cursor.setBlockFormat(format);
        }
    }
}

// A caption right under a figure: the paragraph after it, when it is in
// italics only, set smaller and centred.
void styleCaptions(QTextDocument& doc) {
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        const QTextBlock previous = block.previous();
        if (!previous.isValid() || previous.text() != QString(QChar::ObjectReplacementCharacter))
            continue;
        QTextCursor cursor(block);
        QTextBlockFormat format = block.blockFormat();
        format.setAlignment(Qt::AlignHCenter);
        format.setBottomMargin(pt(10));
        cursor.setBlockFormat(format);
        editCharFormats(block, [](QTextCharFormat& c) {
            c.setFontPointSize(9);
            c.setForeground(kQuiet);
        });
    }
}

// The title block: the first two blocks, which main() puts before the text.
void styleTitle(QTextDocument& doc) {
    QTextBlock title = doc.begin();
    QTextBlock subtitle = title.next();
    {
        QTextCursor cursor(title);
        QTextBlockFormat format = title.blockFormat();
        format.setHeadingLevel(0);
        format.setTopMargin(pt(30));
        format.setBottomMargin(pt(4));
        cursor.setBlockFormat(format);
        editCharFormats(title, [](QTextCharFormat& c) {
            c.setFontPointSize(24);
            c.setFontWeight(QFont::Bold);
            c.setForeground(kHeading);
        });
    }
    QTextCursor cursor(subtitle);
    QTextBlockFormat format = subtitle.blockFormat();
    format.setBottomMargin(pt(14));
    format.setProperty(QTextFormat::BlockTrailingHorizontalRulerWidth, QTextLength(QTextLength::PercentageLength, 100));
    cursor.setBlockFormat(format);
    editCharFormats(subtitle, [](QTextCharFormat& c) {
        c.setFontPointSize(11);
        c.setForeground(kQuiet);
    });
}

// The contents: the first-level headings with their page numbers, in a
// borderless table after the title block. Returns the page number cells'
// blocks with their headings.
struct ContentsEntry {
    QTextBlock heading;
    QTextTableCell pageCell;
};

std::vector<ContentsEntry> insertContents(QTextDocument& doc) {
    std::vector<QTextBlock> headings;
    for (QTextBlock block = doc.begin().next().next(); block.isValid(); block = block.next())
        if (block.blockFormat().headingLevel() == 1 && !tableOf(block))
            headings.push_back(block);
    if (headings.empty())
        return {};

    QTextCursor cursor(doc.begin().next());
    cursor.movePosition(QTextCursor::EndOfBlock);
    QTextBlockFormat label;
    label.setTopMargin(0);
    label.setBottomMargin(pt(4));
    QTextCharFormat labelText;
    labelText.setFontFamilies(sansFamilies());
    labelText.setFontPointSize(12);
    labelText.setFontWeight(QFont::Bold);
    labelText.setForeground(kHeading);
    cursor.insertBlock(label, labelText);
    cursor.insertText(QStringLiteral("Contents"));

    QTextTableFormat format;
    format.setBorder(0);
    format.setBorderStyle(QTextFrameFormat::BorderStyle_None);
    format.setCellSpacing(0);
    format.setCellPadding(pt(1.5));
    format.setWidth(QTextLength(QTextLength::PercentageLength, 100));
    format.setColumnWidthConstraints(
        {QTextLength(QTextLength::PercentageLength, 90), QTextLength(QTextLength::PercentageLength, 10)});
    format.setBottomMargin(pt(8));
    QTextTable* table = cursor.insertTable(int(headings.size()), 2, format);
    QTextCharFormat entryText;
    entryText.setFontFamilies(sansFamilies());
    entryText.setFontPointSize(kBodyPoints);
    std::vector<ContentsEntry> entries;
    for (std::size_t row = 0; row < headings.size(); ++row) {
        QTextCursor title = table->cellAt(int(row), 0).firstCursorPosition();
        title.insertText(headings[row].text(), entryText);
        QTextCursor page = table->cellAt(int(row), 1).firstCursorPosition();
        QTextBlockFormat right;
        right.setAlignment(Qt::AlignRight);
        page.setBlockFormat(right);
        page.insertText(QStringLiteral("00"), entryText);
        entries.push_back({headings[row], table->cellAt(int(row), 1)});
    }
    return entries;
}

// Lays the whole text out again. The engine's incremental layout can leave
// blocks without lines after many format changes around new frames.
void relayout(QTextDocument& doc) {
    doc.markContentsDirty(0, doc.characterCount());
}

// Whether a block holds nothing but a figure.
bool isFigure(const QTextBlock& block) {
    return block.text() == QString(QChar::ObjectReplacementCharacter);
}

// The text engine keeps an empty block before and after each frame (table or
// code); they take no room here.
void shrinkFrameNeighbours(QTextDocument& doc) {
    QTextFrame* root = doc.rootFrame();
    std::vector<QTextBlock> empty;
    bool afterFrame = false;
    QTextBlock pending;
    for (auto it = root->begin(); !it.atEnd(); ++it) {
        if (it.currentFrame()) {
            if (pending.isValid())
                empty.push_back(pending);
            pending = QTextBlock();
            afterFrame = true;
            continue;
        }
        const QTextBlock block = it.currentBlock();
        pending = QTextBlock();
        if (block.length() <= 1) {
            if (afterFrame)
                empty.push_back(block);
            else
                pending = block;
        }
        afterFrame = false;
    }
    for (const QTextBlock& block : empty) {
        if (QTextList* list = block.textList())
            list->remove(block);
        QTextCursor cursor(block);
        QTextBlockFormat format;
        format.setTopMargin(0);
        format.setBottomMargin(0);
        format.setLineHeight(1, QTextBlockFormat::FixedHeight);
        cursor.setBlockFormat(format);
        QTextCharFormat text;
        text.setFontPointSize(1);
        cursor.setBlockCharFormat(text);
    }
}

// Pagination that reads well: a heading keeps the start of its section on
// its page, a figure its caption, and short tables and code frames do not
// break.
class Paginator {
public:
    Paginator(QTextDocument& doc, double pageHeight) : m_doc(doc), m_pageHeight(pageHeight) {}

    int pageOf(double y) const { return int(std::floor(y / m_pageHeight)); }

    QRectF blockRect(const QTextBlock& block) const { return m_doc.documentLayout()->blockBoundingRect(block); }

    QRectF frameRect(QTextFrame* frame) const { return m_doc.documentLayout()->frameBoundingRect(frame); }

    // One pass; returns whether it moved anything.
    bool pass() {
        m_items.clear();
        for (auto it = m_doc.rootFrame()->begin(); !it.atEnd(); ++it)
            m_items.push_back({it.currentFrame(), it.currentBlock()});
        for (std::size_t i = 0; i < m_items.size(); ++i) {
            const Item& item = m_items[i];
            if (item.frame) {
                const bool table = qobject_cast<QTextTable*>(item.frame) != nullptr;
                const QRectF r = frameRect(item.frame);
                // The engine may split a table row across pages; a table
                // that fits on one page stays whole.
                if (pageOf(r.top()) != pageOf(r.bottom() - 1) && r.height() <= m_pageHeight / (table ? 1.05 : 2) &&
                    breakBefore(i))
                    return true;
                continue;
            }
            const bool heading = item.block.blockFormat().headingLevel() > 0;
            if ((heading || isFigure(item.block) || introduces(item.block)) && i + 1 < m_items.size() &&
                pageOf(blockRect(item.block).top()) != pageOf(followBottom(i + 1, heading ? 3 : 1) - 1) &&
                breakBefore(i))
                return true;
        }
        return false;
    }

private:
    struct Item {
        QTextFrame* frame; // or
        QTextBlock block;
    };

    // A paragraph ending in a colon introduces what follows it.
    static bool introduces(const QTextBlock& block) {
        return !block.textList() && block.text().trimmed().endsWith(QLatin1Char(':'));
    }

    bool isEmptyBlock(std::size_t i) const { return !m_items[i].frame && m_items[i].block.length() <= 1; }

    // The bottom of the first `lines` lines from item i on: a frame counts
    // with its start, a figure as a whole.
    double followBottom(std::size_t i, int lines) const {
        double bottom = 0;
        for (; i < m_items.size() && lines > 0; ++i) {
            if (isEmptyBlock(i))
                continue;
            const Item& item = m_items[i];
            if (item.frame) {
                const QRectF r = frameRect(item.frame);
                return std::min(r.bottom(), r.top() + pt(14) * lines);
            }
            const QRectF r = blockRect(item.block);
            const QTextLayout* layout = item.block.layout();
            const int count = layout ? layout->lineCount() : 0;
            if (count == 0 || isFigure(item.block))
                return r.bottom();
            const QTextLine line = layout->lineAt(std::min(count, lines) - 1);
            bottom = r.top() + line.y() + line.height();
            lines -= count;
        }
        return bottom;
    }

    // A page break before item i, or before the heading or figure that
    // must stay with it. Returns whether a break was added.
    bool breakBefore(std::size_t i) {
        for (std::size_t j = i; j-- > 0;) {
            if (isEmptyBlock(j))
                continue;
            const QTextBlock& block = m_items[j].block;
            if (!m_items[j].frame && (block.blockFormat().headingLevel() > 0 || isFigure(block) || introduces(block)))
                i = j;
            else
                break;
        }
        const Item& item = m_items[i];
        if (item.frame) {
            QTextFrameFormat format = item.frame->frameFormat();
            if (format.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore)
                return false;
            format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
            item.frame->setFrameFormat(format);
            relayout(m_doc);
            return true;
        }
        QTextBlockFormat format = item.block.blockFormat();
        if (format.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore)
            return false;
        format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
        QTextCursor(item.block).setBlockFormat(format);
        relayout(m_doc);
        return true;
    }

    QTextDocument& m_doc;
    double m_pageHeight;
    std::vector<Item> m_items;
};

// ---------------------------------------------------------------------------
// Printing

// The text's page `index`, in the body of that page.
void drawPage(QPainter& painter, QTextDocument& doc, const QRectF& body, int index) {
    const double bodyHeight = body.height();
    painter.translate(body.left(), body.top() - index * bodyHeight);
    QAbstractTextDocumentLayout::PaintContext context;
    // Borders at the body's right edge must not be cut off.
    const double spill = mm(3);
    context.clip = QRectF(-spill, index * bodyHeight, body.width() + 2 * spill, bodyHeight);
    context.palette.setColor(QPalette::Text, Qt::black);
    painter.setClipRect(context.clip);
    doc.documentLayout()->draw(&painter, context);
}

std::optional<QString> readText(const QString& path, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return std::nullopt;
    }
    return QString::fromUtf8(file.readAll());
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 4) {
        std::fputs("usage: linkvigil-makehelp INPUT.md FIGURE-FOLDER OUTPUT.pdf\n", stderr);
        return 2;
    }
    const QString input = arguments.at(1);
    figureFolder() = arguments.at(2);
    const QString output = arguments.at(3);

    QString error;
    const std::optional<QString> markdown = readText(input, &error);
    if (!markdown) {
        fail(QStringLiteral("cannot read %1: %2").arg(input, error));
        return 1;
    }
    if (markdown->trimmed().isEmpty()) {
        fail(QStringLiteral("%1 is empty").arg(input));
        return 1;
    }

    page::PdfPages pdf(output, QStringLiteral("Linkvigil User Guide"));
    if (!pdf.isOpen()) {
        fail(pdf.error());
        return 1;
    }
    const QRectF body = pdf.body();

    GuideDocument doc;
    doc.documentLayout()->setPaintDevice(&pdf.device());
    const QString titleBlock = QStringLiteral(u"# Linkvigil — User Guide\n\nVersion %1 for Linux\n\n").arg(version());
    doc.setMarkdown(titleBlock + *markdown);
    tidyTables(doc);
    doc.setMetaInformation(QTextDocument::DocumentTitle, QStringLiteral("Linkvigil User Guide"));
    styleDocument(doc);
    styleTitle(doc);
    placeFigures(doc);
    styleCaptions(doc);
    std::vector<ContentsEntry> contents = insertContents(doc);
    doc.setPageSize(body.size());

    shrinkFrameNeighbours(doc);
    relayout(doc);
    Paginator paginator(doc, body.height());
    // Each pass adds at most one break, from the top down.
    for (int i = 0; i < 200 && paginator.pass(); ++i) {
    }
    for (ContentsEntry& entry : contents) {
        QTextCursor cursor = entry.pageCell.firstCursorPosition();
        cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        const int number = paginator.pageOf(paginator.blockRect(entry.heading).top()) + 1;
        cursor.insertText(QString::number(number));
    }
    relayout(doc);

    if (!doc.unknownResources.isEmpty()) {
        fail(QStringLiteral("%1: no such figure: %2").arg(input, doc.unknownResources.join(QStringLiteral(", "))));
        return 1;
    }

    PageComposer pages(body);
    for (int index = 0; index < doc.pageCount(); ++index) {
        if (index > 0)
            pages.newPage();
        pages.add([&doc, body, index](QPainter& painter) { drawPage(painter, doc, body, index); });
    }
    if (!pdf.finish(pages, {QStringLiteral("Linkvigil User Guide"), QStringLiteral("Version ") + version()})) {
        fail(pdf.error());
        return 1;
    }
    return 0;
}
