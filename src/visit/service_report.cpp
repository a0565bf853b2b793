#include "visit/service_report.h"

#include <QDialogButtonBox>
#include <QFont>
#include <QFontMetricsF>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <algorithm>
#include <memory>

#include "settings/nvm_parameters.h"
#include "visit/service_visit.h"

namespace korvel {

TServiceReportDialog::TServiceReportDialog(const QString& installation, const QString& engineer, const QString& notes,
                                           QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("ServiceReportDialog"));
    setWindowTitle(QString::fromUtf8(SERVICE_REPORT_CAPTION));
    auto* form = new QFormLayout(this);
    edInstallation = new QLineEdit(installation, this);
    edInstallation->setObjectName(QStringLiteral("edInstallation"));
    edEngineer = new QLineEdit(engineer, this);
    edEngineer->setObjectName(QStringLiteral("edEngineer"));
    memNotes = new QPlainTextEdit(notes, this);
    memNotes->setObjectName(QStringLiteral("memNotes"));
    memNotes->setTabChangesFocus(true);
    form->addRow(QStringLiteral("&Installatie:"), edInstallation);
    form->addRow(QStringLiteral("&Monteur:"), edEngineer);
    form->addRow(QStringLiteral("&Opmerkingen:"), memNotes);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Annuleren"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
    resize(460, 300);
    edInstallation->setFocus();
}

QString TServiceReportDialog::Installation() const { return edInstallation->text(); }
QString TServiceReportDialog::Engineer() const { return edEngineer->text(); }
QString TServiceReportDialog::Notes() const { return memNotes->toPlainText(); }

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// Lays the report out on A4 pages. Run once without a painter to count the pages, so every
// footer can say "van n", then once more to draw.
class TPages {
public:
    TPages(QPdfWriter& writer, QPainter* painter, QString footer, int total)
        : writer_(writer), painter_(painter), footer_(std::move(footer)), total_(total) {
        mm_ = writer.resolution() / 25.4;
        width_ = writer.width();
        bottom_ = writer.height() - 10 * mm_;  // room for the footer
        body_ = Font(10);
    }

    QFont Font(double points, bool bold = false) const {
        QFont f(QStringLiteral("DejaVu Sans"));
        f.setStyleHint(QFont::SansSerif);
        f.setPointSizeF(points);
        f.setBold(bold);
        return f;
    }

    void Title(const QString& text) { Paragraph(text, Font(18, true), 3); }

    // followMm: room for what must stand on the same page as the heading (a picture).
    void Heading(const QString& text, double followMm = 0) {
        Space(4);
        Need(Height(text, Font(12, true), width_) +
             std::max(Height(QStringLiteral("X"), body_, width_) * 2, PictureHeight(followMm)));
        Paragraph(text, Font(12, true), 1.5);
    }

    void Text(const QString& text, const QColor& colour = Qt::black) { Paragraph(text, body_, 1, colour); }

    // Rows of cells; widths as parts of the page's width.
    void Table(const std::vector<QStringList>& rows, const std::vector<double>& widths, bool firstRowBold = false,
               const std::vector<QColor>& colours = {}) {
        for (size_t r = 0; r < rows.size(); ++r) {
            const QFont font = Font(10, firstRowBold && r == 0);
            double h = 0;
            for (int c = 0; c < rows[r].size() && c < static_cast<int>(widths.size()); ++c)
                h = std::max(h, Height(rows[r][c], font, widths[static_cast<size_t>(c)] * width_ - 2 * mm_));
            Need(h);
            double x = 0;
            for (int c = 0; c < rows[r].size() && c < static_cast<int>(widths.size()); ++c) {
                const double w = widths[static_cast<size_t>(c)] * width_;
                if (painter_ != nullptr) {
                    painter_->setFont(font);
                    painter_->setPen(r < colours.size() ? colours[r] : QColor(Qt::black));
                    painter_->drawText(QRectF(x, y_, w - 2 * mm_, h), Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop,
                                       rows[r][c]);
                }
                x += w;
            }
            y_ += h + 0.8 * mm_;
        }
    }

    void Picture(const QImage& image, double heightMm) {
        if (image.isNull()) return;
        double h = PictureHeight(heightMm);
        double w = h * image.width() / std::max(1, image.height());
        if (w > width_) {
            w = width_;
            h = w * image.height() / std::max(1, image.width());
        }
        Need(h);
        if (painter_ != nullptr) painter_->drawImage(QRectF(0, y_, w, h), image);
        y_ += h + 2 * mm_;
    }

    // Ends the last page; the number of pages.
    int Finish() {
        Footer();
        return page_;
    }

private:
    double PictureHeight(double mm) const { return std::min(mm * mm_, bottom_ * 0.8); }

    double Height(const QString& text, const QFont& font, double width) const {
        const QFontMetricsF metrics(font, &writer_);
        return metrics.boundingRect(QRectF(0, 0, width, 1e6), Qt::TextWordWrap, text).height();
    }

    void Paragraph(const QString& text, const QFont& font, double spaceAfterMm, const QColor& colour = Qt::black) {
        // Paragraph by paragraph, so long notes go on to the next page.
        for (const QString& part : text.split(QLatin1Char('\n'))) {
            const QString line = part.isEmpty() ? QStringLiteral(" ") : part;
            const double h = Height(line, font, width_);
            Need(h);
            if (painter_ != nullptr) {
                painter_->setFont(font);
                painter_->setPen(colour);
                painter_->drawText(QRectF(0, y_, width_, h), Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, line);
            }
            y_ += h;
        }
        y_ += spaceAfterMm * mm_;
    }

    void Space(double mm) { y_ += mm * mm_; }

    void Need(double h) {
        if (y_ + h <= bottom_ || y_ == 0) return;
        Footer();
        if (painter_ != nullptr) writer_.newPage();
        ++page_;
        y_ = 0;
    }

    void Footer() {
        if (painter_ == nullptr) return;
        const QFont font = Font(8);
        painter_->setFont(font);
        painter_->setPen(Qt::darkGray);
        const QRectF line(0, writer_.height() - 6 * mm_, width_, 6 * mm_);
        painter_->drawText(line, Qt::AlignLeft | Qt::AlignBottom, footer_);
        painter_->drawText(line, Qt::AlignRight | Qt::AlignBottom,
                           QStringLiteral("Pagina %1 van %2").arg(page_).arg(std::max(total_, page_)));
    }

    QPdfWriter& writer_;
    QPainter* painter_;
    QString footer_;
    int total_;
    double mm_ = 1, width_ = 0, bottom_ = 0, y_ = 0;
    int page_ = 1;
    QFont body_;
};

void Lay(TPages& pages, const TServiceVisit& visit, const TServiceReportExtras& extras) {
    const auto orNone = [](const std::string& s, const char* none) { return s.empty() ? QString::fromUtf8(none) : Q(s); };
    const TVisitStamp stamp = visit.Stamp();
    pages.Title(QStringLiteral("Servicerapport"));
    pages.Table({{QStringLiteral("Gereedschap"), extras.Tool},
                 {QStringLiteral("Datum en tijd"), Q(VisitTimeText(extras.Now))},
                 {QStringLiteral("Installatie"), orNone(stamp.Installation, "niet opgegeven")},
                 {QStringLiteral("Monteur"), orNone(visit.Engineer, "niet opgegeven")},
                 {QStringLiteral("Poort"), orNone(stamp.Port, "geen verbinding gemaakt")},
                 {QStringLiteral("Firmware versie"), orNone(stamp.Firmware, "niet gemeld")},
                 {QStringLiteral("Begin bezoek"), Q(VisitTimeText(visit.Started()))}},
                {0.28, 0.72});
    pages.Heading(QStringLiteral("Opmerkingen"));
    pages.Text(visit.Notes.empty() ? QStringLiteral("Geen.") : Q(visit.Notes));

    pages.Heading(QStringLiteral("Gewijzigde instellingen"));
    if (!visit.FirstParameters()) {
        pages.Text(QStringLiteral("De instellingen zijn tijdens dit bezoek niet van het bord gelezen."));
    } else {
        pages.Text(QStringLiteral("Eerste rapport van het bord: %1; laatste: %2.")
                       .arg(Q(VisitTimeText(visit.FirstParametersTime())), Q(VisitTimeText(visit.LastParametersTime()))));
        const auto changes = visit.Changes(extras.DecimalSeparator);
        if (changes.empty()) {
            pages.Text(QStringLiteral("Geen instellingen gewijzigd tijdens dit bezoek."));
        } else {
            std::vector<QStringList> rows{{QStringLiteral("Parameter"), QStringLiteral("Voor"), QStringLiteral("Na")}};
            for (const TSettingsDifference& d : changes)
                rows.push_back({QStringLiteral("Adres %1, %2").arg(d.Parameter->Address).arg(Q(NvmDisplayName(*d.Parameter))),
                                Q(d.A), Q(d.B)});
            pages.Table(rows, {0.6, 0.2, 0.2}, true);
        }
    }

    pages.Heading(QStringLiteral("Foutmeldingen"));
    const std::vector<TFaultLine> faults = FaultLines(visit.Faults());
    if (faults.empty()) {
        pages.Text(QStringLiteral("Geen foutmeldingen verschenen of verdwenen tijdens dit bezoek."));
    } else {
        if (visit.Faults().Dropped() > 0)
            pages.Text(QStringLiteral("De oudste %1 meldingen zijn niet bewaard.").arg(visit.Faults().Dropped()));
        std::vector<QStringList> rows{{QStringLiteral("Tijd"), QStringLiteral("Melding"), QStringLiteral("Wat")}};
        std::vector<QColor> colours{Qt::black};
        for (size_t i = 0; i < faults.size(); ++i) {
            rows.push_back({Q(faults[i].Time), Q(faults[i].Name), Q(faults[i].What)});
            colours.push_back(visit.Faults().Events()[i].Appeared ? QColor(0xC0, 0, 0) : QColor(Qt::black));
        }
        pages.Table(rows, {0.25, 0.5, 0.25}, true, colours);
    }

    if (extras.LiveValues.empty()) {
        pages.Heading(QStringLiteral("Actuele waarden"));
        pages.Text(QStringLiteral("Geen waarden van het bord ontvangen."));
    } else {
        pages.Heading(extras.LineUp
                          ? QStringLiteral("Actuele waarden (%1)").arg(Q(VisitTimeText(extras.LiveTime)))
                          : QStringLiteral("Laatste waarden, van %1 (de verbinding is verbroken)")
                                .arg(Q(VisitTimeText(extras.LiveTime))));
        std::vector<QStringList> rows;
        for (size_t i = 0; i < extras.LiveValues.size(); i += 2) {
            QStringList row{extras.LiveValues[i].first, extras.LiveValues[i].second};
            if (i + 1 < extras.LiveValues.size())
                row << extras.LiveValues[i + 1].first << extras.LiveValues[i + 1].second;
            rows.push_back(row);
        }
        pages.Table(rows, {0.3, 0.2, 0.3, 0.2});
    }

    pages.Heading(QStringLiteral("Stooklijnen"), extras.Curves.isNull() ? 0 : 80);
    if (extras.Curves.isNull())
        pages.Text(QStringLiteral("De instellingen zijn tijdens dit bezoek niet van het bord gelezen."));
    else
        pages.Picture(extras.Curves, 80);
    pages.Heading(QStringLiteral("Trend van het bezoek (ten hoogste het laatste uur)"), extras.Trend.isNull() ? 0 : 110);
    if (extras.Trend.isNull())
        pages.Text(QStringLiteral("Geen rapporten van het bord ontvangen."));
    else
        pages.Picture(extras.Trend, 110);
}

}  // namespace

bool WriteServiceReport(const QString& path, const TServiceVisit& visit, const TServiceReportExtras& extras) {
    QPdfWriter writer(path);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(18, 15, 18, 12), QPageLayout::Millimeter);
    writer.setResolution(300);
    writer.setCreator(extras.Tool);
    const QString installation =
        visit.Installation().empty() ? QStringLiteral("niet opgegeven") : Q(visit.Installation());
    writer.setTitle(QStringLiteral("Servicerapport ") + installation);
    const QString footer = QStringLiteral("Servicerapport \u00B7 Installatie: ") + installation;

    TPages count(writer, nullptr, footer, 0);
    Lay(count, visit, extras);
    const int total = count.Finish();

    QPainter painter;
    if (!painter.begin(&writer)) return false;
    TPages pages(writer, &painter, footer, total);
    Lay(pages, visit, extras);
    pages.Finish();
    return painter.end();
}

}  // namespace korvel
