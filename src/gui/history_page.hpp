// The "History" page: a field of the mission archive over a UTC range. Above the chart the field,
// the range and the zoom, pan and export buttons; beside it the stations that received the range;
// below it what is shown. The page only shows the model and says what the user asked for.
#pragma once

#include <QWidget>
#include <cstdint>
#include <string>
#include <vector>

#include "shell/window_model.hpp"

class QComboBox;
class QDateTimeEdit;
class QLabel;
class QPushButton;
class QTreeWidget;

namespace quorbel::gui {

class HistoryChartView;

// The ranges the page offers, in the order of its range box; the last one takes the from/to boxes.
inline constexpr const char* kHistoryRangeCaptions[] = {
    "Last pass", "Last 24 hours", "Last 7 days", "Last 30 days", "Everything", "From / to"};
inline constexpr int kHistoryFromToChoice = 5;

class HistoryPage : public QWidget {
    Q_OBJECT
  public:
    explicit HistoryPage(QWidget* parent = nullptr);

    // Shows the model when it was loaded anew since the last call.
    void ShowHistory(const HistoryModel& history);

    QComboBox* field = nullptr;
    QComboBox* rangeChoice = nullptr;
    QDateTimeEdit* from = nullptr;
    QDateTimeEdit* to = nullptr;
    QPushButton* showFromTo = nullptr;
    QPushButton* zoomIn = nullptr;
    QPushButton* zoomOut = nullptr;
    QPushButton* panEarlier = nullptr;
    QPushButton* panLater = nullptr;
    QPushButton* exportCsv = nullptr;
    HistoryChartView* chart = nullptr;
    QTreeWidget* stations = nullptr;
    QLabel* status = nullptr;

  signals:
    void FieldChosen(int field);
    // One of the choices before "From / to" (its index in kHistoryRangeCaptions).
    void RangeChoiceChosen(int choice);
    void FromToChosen(qint64 fromMs, qint64 toMs);
    // The buttons: zoom around the middle of the range shown, or move it by a share of itself.
    void ZoomClicked(double factor);
    void PanClicked(double share);
    void ExportClicked();

  private:
    QWidget* BuildControls();
    void ShowStations(const std::vector<StationCount>& counts);

    std::uint64_t m_revision = 0;
    bool m_shown = false;
};

}  // namespace quorbel::gui
