// The main window as plain values: every control that the handlers write or read. Front ends
// (the Qt window, the command-line tool) only show this model and feed user actions into it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "archive/archive.hpp"
#include "common/rgb.hpp"
#include "decode/field_table.hpp"
#include "intake/read_diagnostics.hpp"
#include "view/value_chart.hpp"

namespace quorbel {

// A run of text in one colour, as the message log is shown and dumped.
struct TextRun {
    std::string text;
    Rgb rgb;
};

// The coloured message log: 8-bit text with one colour per character, an insertion point and a
// selection. Text goes in at the insertion point, not at the end. Past a megabyte its oldest
// lines are dropped, and a first line in grey counts them.
class RichText {
  public:
    const std::string& Text() const { return m_text; }
    std::size_t InsertionPoint() const { return m_insertionPoint; }
    std::size_t SelectionLength() const { return m_selectionLength; }
    Rgb ColourAt(std::size_t i) const { return m_colours[i]; }

    // Moves the caret (as a user's click does); clamped to the text.
    void SetInsertionPoint(std::size_t point);
    void SetSelectionLength(std::size_t length);
    // Inserts at the insertion point without replacing the selection and colours the new text.
    void InsertAtInsertionPoint(const std::string& text, Rgb colour);
    void Clear();
    std::vector<TextRun> Runs() const;
    static constexpr Rgb kDroppedLinesColour{128, 128, 128};
    // Counts edits so front ends redraw only what changed.
    std::uint64_t Revision() const { return m_revision; }

  private:
    void DropOldestLines();

    std::string m_text;
    std::vector<Rgb> m_colours;
    std::size_t m_insertionPoint = 0;
    std::size_t m_selectionLength = 0;
    std::uint64_t m_revision = 0;
};

struct ScrollBar {
    int value = 0;
    int max = 0;

    // A new maximum; the value never stands past it.
    void SetMax(int newMax) {
        max = newMax;
        if (value > max)
            value = max;
    }
};

struct ProgressBar {
    bool visible = false;
    int max = 100;
    int value = 0;
};

// The picture box: a picture file of the image list, or the picture of an image being received.
struct Picture {
    std::string path;                // the picture file shown; empty for a received picture
    std::vector<std::uint8_t> jpeg;  // the received picture shown, decoded from its packets
    std::string caption;             // the file's name, or the image and how many packets it has
    bool operator==(const Picture&) const = default;
};

// The "History" page: one field of the mission archive over a UTC range, as the chart draws it.
struct HistoryModel {
    int field = 1;    // the field chosen (0 to 106; 67 to 69 have no values)
    TimeRange range;  // the UTC range the chart shows
    // The range box's choice that gave the range (LastPass to Everything, in the order of
    // ArchiveRangeChoice); -1 once a zoom, a pan or from / to has set it.
    int rangeChoice = -1;
    int chartPixels = 800;  // the chart's width: the archive gives at most one bucket per pixel
    FieldSeries series;     // points, or per bucket min, max and mean
    std::vector<StationCount> stations;  // the stations that received the range, most frames first
    bool stationsPending = false;        // the stations are of an earlier range: load them anew
    std::string statusText;              // what is shown, or why nothing is
    std::uint64_t revision = 0;          // counts loads, so the chart redraws only what is new
};

inline constexpr const char* kWindowTitle = "QUORBEL Telemetry Decoder";
// The caption of a field selector the catalogue gives nothing (fields 67 to 69): it shows in the
// TLM report and the state as it stands.
inline constexpr const char* kDesignCaption = "Option1";

struct WindowModel {
    std::string windowTitle = kWindowTitle;

    // The 107 fields of the "Telemetry" and "Sensors" pages, indexed by field number.
    std::array<std::string, kFieldCount> fieldValues{};    // the value boxes
    std::array<std::string, kFieldCount> fieldCaptions{};  // the selectors' captions
    std::array<bool, kFieldCount> fieldSelected{};         // which selector is set
    std::array<std::string, kFieldCount> fieldUnits{};     // the unit labels
    std::array<Rgb, kFieldCount> fieldBackgrounds{};       // the value boxes' backgrounds

    std::string connectionText;   // the TCP client's state, or its host and port
    std::string receiveTimeText;  // "RX Timestamp: ..." of the record shown
    std::string satelliteName;    // the satellite of the record shown
    std::string spinText;         // "estimated spin: ... rpm"
    std::string recordCounter;    // "#n / max" beside the record scroll bar
    std::string statusLine;       // the one-line status box
    std::string readerLog;        // the reader's log on the "Info" page (fixed-width font)
    std::string archiveText;      // the archive in use: "Archive: /path/archive.sqlite", "off"
    std::string ssdvListing;      // the SSDV packet headers on the "Images" page
    // The diagnostics box on the Info page: one entry per file of the last open command.
    std::vector<ReadDiagnostics> diagnostics;
    RichText messageLog;  // the coloured message log of "SYS / Digipeater"

    ScrollBar recordScrollBar;             // chooses the record shown
    std::string chartTitle;                // the frame title above the chart
    bool chartBars = false;                // "B": bars instead of a line
    bool chartTimeAxis = false;            // "UTC time": points at their receive times
    ProgressBar progress;                  // the progress of a file read
    std::vector<std::string> chosenFiles;  // the files of one open command, in reading order
    ChartModel chart;

    std::string imageFolder;              // the folder the image list shows
    std::vector<std::string> imageFiles;  // its picture files ("ssdv*.jpg")
    Picture picture;                      // the picture box of the "Images" page
    HistoryModel history;                 // the "History" page

    Rgb connectionLamp = kLightGrey;  // the lamp beside "TCP client"
    bool tcpClient = false;           // the "TCP client" box
    bool shareFrames = false;         // the "Share with SatNOGS" box
    // What sharing did: "Shared: 12 sent, 3 waiting, 0 rejected" and the last error; empty while
    // sharing is off. Shown in the status strip beside the box.
    std::string shareText;
    bool connectionTimerRunning = true;  // the one-second connection state timer, on from start-up

    bool busy = false;     // busy mouse pointer while a file is read
    bool reading = false;  // a file read is in progress: open, crop and export commands wait

    WindowModel() {
        fieldCaptions.fill(kDesignCaption);
        fieldBackgrounds.fill(kWhite);
    }
};

}  // namespace quorbel
