// The few things the logic needs from the platform: the save-file dialog, message boxes,
// letting the event loop run, checking a picture, starting a helper program, the TCP client socket
// and the clock. Front ends implement it; tests use a double.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace quorbel {

enum class MessageIcon { Information, Warning };

struct MessageBoxRequest {
    std::string title;
    std::string text;  // 8-bit text
    MessageIcon icon = MessageIcon::Information;
};

// How a program started with StartProgram ended. The front end hands it to the command that
// started the program (FinishSsdvDecoder).
struct ProgramEnd {
    int id = 0;          // as StartProgram gave it
    int exitStatus = 0;  // the program's exit status; -1 when it did not end normally (a signal)
};

struct SaveFileDialog {
    std::string title;
    std::string filter;    // "Caption (*.ext)|*.ext|All Files (*.*)|*.*"
    std::string fileName;  // the name offered, with its folder
};

class Platform {
  public:
    virtual ~Platform() = default;
    // The save-file dialog: the path chosen, or none when the user cancels.
    virtual std::optional<std::string> SelectSaveFile(const SaveFileDialog& dialog) = 0;
    virtual void ShowMessage(const MessageBoxRequest& box) = 0;
    // Lets pending events run (repaints, live frames) in the middle of a long read.
    virtual void DoEvents() = 0;
    // True when the file holds a picture the window can show.
    virtual bool CanLoadPicture(const std::string& path) = 0;

    // The path of a helper program (the SSDV decoder): beside this program first, then on the
    // PATH; empty when there is none.
    virtual std::string FindProgram(const std::string& name) = 0;
    // Starts the program with these arguments, each passed as it stands (no shell, so spaces and
    // quotes in paths are safe), and goes on at once: the program runs by itself. The front end
    // reports its end later as a ProgramEnd with the id returned here. None when it could not be
    // started.
    virtual std::optional<int> StartProgram(const std::string& program,
                                            const std::vector<std::string>& arguments) = 0;

    // The TCP client socket of the "TCP client" box. Connecting only starts: the socket goes
    // through its states on its own, and its data reaches ReceiveLiveBytes.
    virtual void ConnectSocket(const std::string& host, int port) = 0;
    virtual void CloseSocket() = 0;
    // The socket's state: 0 closed, 4 resolving host, 6 connecting, 7 connected, 8 the peer is
    // closing, 9 error, 10 the peer reset the connection (1, 2, 3 and 5 are known states a socket
    // may report too).
    virtual int SocketState() = 0;
    // In the error state, what went wrong as the platform says it ("host not found: H",
    // "Connection refused"); empty when it says nothing.
    virtual std::string SocketProblem() { return {}; }
    // The current time (UTC by its nature); one reading per received frame.
    virtual std::chrono::system_clock::time_point Now() = 0;
};

}  // namespace quorbel
