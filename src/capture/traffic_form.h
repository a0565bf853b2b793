// The window "Verkeer": every block that crossed the line, live (the latest 100,000) or from a
// capture file, with its time, direction, identifier, length and one line of meaning; damaged
// ones in red. The real-time reports can be hidden on one switch; the live list can be held.
#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <utility>
#include <vector>

#include "capture/block_meaning.h"
#include "capture/line_record.h"
#include "capture/traffic_log.h"
#include "host/ui_host.h"

class QAction;
class QLabel;
class QTableView;
class QToolBar;

namespace korvel {

inline constexpr char TRAFFIC_CAPTION[] = "Verkeer";
inline constexpr char MSG_CAPTURE_REFUSED[] = "De opname \"%s\" is geweigerd: %s.";
inline constexpr char MSG_CAPTURE_NOT_SAVED[] = "De opname kan niet opgeslagen worden als \"%s\": %s.";

// Brings the line record's packets (any thread) into a traffic log on the UI thread.
class TTrafficFeed : public QObject {
    Q_OBJECT
public:
    TTrafficFeed(TLineRecord& record, TTrafficLog& log, QObject* parent);
    ~TTrafficFeed() override;  // no packet comes after it

signals:
    void Added();  // packets went into the log

private:
    void Drain();

    TLineRecord& record_;
    TTrafficLog& log_;
    std::mutex m_;
    // Bounded like the log: a UI thread held up long never makes it grow past what is kept.
    std::deque<std::pair<TCapturePacket, std::string>> inbox_;
};

class TTrafficModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum TColumn { ColTime, ColDirection, ColIdentifier, ColLength, ColMeaning, ColCount };

    explicit TTrafficModel(const TTrafficLog& log, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Takes in what the log gained and let go of since the last call.
    void Sync();
    void SetHideReports(bool hide);
    uint64_t SequenceAt(int row) const { return rows_[static_cast<size_t>(row)]; }

private:
    bool Shown(const TCapturePacket& p) const;
    const TBlockMeaning& Meaning(uint64_t sequence) const;

    const TTrafficLog& log_;
    std::deque<uint64_t> rows_;  // sequence numbers of the rows
    uint64_t next_ = 0;          // the first sequence not yet looked at
    bool hideReports_ = false;
    char separator_;
    mutable std::unordered_map<uint64_t, TBlockMeaning> meanings_;  // of rows drawn lately
};

class TTrafficForm : public QWidget {
    Q_OBJECT
public:
    // The live list over the window's log. owner: the window whose life it shares.
    TTrafficForm(TTrafficLog& log, TTrafficFeed& feed, UiHost& host, QWidget* owner);
    // A capture file's packets, in a window of its own named after the file.
    TTrafficForm(std::unique_ptr<TTrafficLog> file, const QString& fileName, UiHost& host, QWidget* owner);
    ~TTrafficForm() override;

    // Reads a capture and shows it; tells the user why and returns nullptr when it is refused.
    static TTrafficForm* OpenCapture(const QString& path, UiHost& host, QWidget* owner);
    // Writes what the list holds as a capture; a failure is told to the user.
    bool SaveCapture(const QString& path);

    void SetPaused(bool paused);
    void SetHideReports(bool hide);

    QToolBar* ToolBar = nullptr;
    QTableView* List = nullptr;
    QLabel* CountLabel = nullptr;
    QAction* PauseAction = nullptr;
    QAction* HideReportsAction = nullptr;
    QAction* SaveCaptureAction = nullptr;
    QAction* OpenCaptureAction = nullptr;
    TTrafficModel* Model = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    TTrafficForm(const TTrafficLog& log, UiHost& host, QWidget* owner);
    void Refresh();
    void SaveCaptureAsk();
    void OpenCaptureAsk();

    UiHost& host_;
    QWidget* owner_;
    std::unique_ptr<TTrafficLog> file_;  // a capture file's, when not live
    const TTrafficLog& log_;
};

// The live list's window, made on first use.
TTrafficForm* ShowTraffic(std::unique_ptr<TTrafficForm>& form, TTrafficLog& log, TTrafficFeed& feed, UiHost& host,
                          QWidget* owner);

}  // namespace korvel
