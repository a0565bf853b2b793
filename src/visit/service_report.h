// The service report: the dialog that asks who made it and what he has to say, and the A4 PDF,
// in Dutch, made from the visit as the tool kept it (also after the line is gone).
#pragma once

#include <QDialog>
#include <QImage>
#include <QString>
#include <utility>
#include <vector>

class QLineEdit;
class QPlainTextEdit;

namespace korvel {

class TServiceVisit;

inline constexpr char SERVICE_REPORT_CAPTION[] = "Servicerapport";
inline constexpr char MSG_REPORT_NOT_SAVED[] = "Het servicerapport kan niet opgeslagen worden als \"%s\".";

// One dialog: installation, engineer, notes. Focus on the first field; Enter in a one-line field
// accepts, in the notes it starts a new line.
class TServiceReportDialog : public QDialog {
    Q_OBJECT
public:
    TServiceReportDialog(const QString& installation, const QString& engineer, const QString& notes,
                         QWidget* parent);

    QString Installation() const;
    QString Engineer() const;
    QString Notes() const;

    QLineEdit* edInstallation = nullptr;
    QLineEdit* edEngineer = nullptr;
    QPlainTextEdit* memNotes = nullptr;
};

// What the window adds to the visit's own record.
struct TServiceReportExtras {
    QString Tool;       // "Korvel Service gereedschap 1.4.0.0"
    double Now = 0;     // on the visit's time axis
    bool LineUp = false;
    // The monitor page's values as it shows them, with units; their report's time.
    std::vector<std::pair<QString, QString>> LiveValues;
    double LiveTime = 0;
    QImage Curves;  // null: not drawn
    QImage Trend;   // null: no report yet
    char DecimalSeparator = '.';
};

// Writes the PDF; false when the file cannot be written.
bool WriteServiceReport(const QString& path, const TServiceVisit& visit, const TServiceReportExtras& extras);

}  // namespace korvel
