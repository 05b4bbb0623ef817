// The main window as plain values: every control that the handlers write or read. Front ends
// (the Qt window, the command-line tool) only show this model and feed user actions into it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

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
// selection. Text goes in at the insertion point, not at the end.
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
    // Counts edits so front ends redraw only what changed.
    std::uint64_t Revision() const { return m_revision; }

  private:
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

inline constexpr const char* kWindowTitle = "QUORBEL Telemetry Decoder";

struct WindowModel {
    std::string Form1 = kWindowTitle;  // window title

    std::array<std::string, kFieldCount> Text1{};    // value boxes
    std::array<std::string, kFieldCount> Option1{};  // field selector captions
    std::array<bool, kFieldCount> Option1Value{};    // which selector is set
    std::array<std::string, kFieldCount> Label1{};   // unit labels
    std::array<Rgb, kFieldCount> Text1BackColor{};   // value box backgrounds

    std::string Label2;  // connection text
    std::string Label4;  // "RX Timestamp: ..."
    std::string Label5;  // satellite name
    std::string Label8;  // "estimated spin: ... rpm"
    std::string Text2;   // navigation counter "#n / max"
    std::string Text4;   // status line
    std::string Text5;   // multi-line log (fixed-width font)
    std::string Text6;   // SSDV packet listings
    // The diagnostics box on the Info page: one entry per file of the last open command.
    std::vector<ReadDiagnostics> Diagnostics;
    RichText RichTextBox1;

    ScrollBar HScroll1;
    std::string Frame1;   // chart title
    bool Check1 = false;  // "B": bars instead of a line
    bool Check2 = false;  // "UTC time": the chart's points at their receive times
    ProgressBar ProgressBar1;
    std::vector<std::string> List3;  // files chosen in one open command
    ChartModel Chart;

    std::string File1Folder;         // image list folder
    std::vector<std::string> File1;  // image file names ("ssdv*.jpg")
    Picture Picture1;

    Rgb Lamp = kLightGrey;      // connection lamp (Shape10)
    bool Check5 = false;        // "TCP client"
    bool Timer1Enabled = true;  // the one-second connection state timer runs from start-up

    bool Busy = false;     // busy mouse pointer while a file is read
    bool Reading = false;  // a file read is in progress: open, crop and export commands wait

    WindowModel() {
        Option1.fill("Option1");
        Text1BackColor.fill(kWhite);
    }
};

}  // namespace quorbel
