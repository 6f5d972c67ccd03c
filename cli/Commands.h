#pragma once

// The subcommands of kestra-cli over the editor's core: a session owns the
// Editor and its terminal dialogs, runs one command on the message thread
// and ends with an exit code (cli/ExitCodes.h).

#include "cli/ExitCodes.h"
#include "cli/TerminalDialogs.h"
#include "editor/Editor.h"

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kestra::cli
{

struct Options
{
    std::string command;
    std::vector<std::string> arguments;
    std::string port; // --port NAME or IN,OUT; empty: as CONNECT finds it
    int slot = -1;    // --slot
    bool json = false;
    bool quiet = false;
    bool yes = false;
    bool noSnapshot = false; // --no-snapshot: go on when no snapshot can be kept
};

// Ctrl+C, SIGTERM and SIGHUP count here; the session looks at it between messages.
extern std::atomic<int> interruptions;
// SIGPIPE: a reader of the output has gone. The session ends as on an
// interruption, with the exit status of a lost output.
extern std::atomic<int> outputClosures;

// `kestra-cli ports`: the MIDI ports of these services.
int listPorts(MidiServices& services, const Options& options);

class Session final : private EditorListener
{
public:
    Session(const Options& options, std::unique_ptr<MidiServices> services,
            TerminalDialogs::Settings dialogSettings);
    ~Session() override;

    // Runs the command on this (the message) thread until it ends.
    int run();

private:
    void start();
    // CONNECT (or the --port pair), then `next` once the link is up.
    void whenConnected(std::function<void()> next);
    void finish(int code);
    void fail(int code, const std::string& message);
    // Ends what runs as the window does when it is closed (an upload is
    // cancelled first), with this exit status.
    void interrupt(int code);
    // The output was closed or filled up: the command ends as on an interruption.
    bool outputLost() const;
    void noticeShown(const std::string& text);
    // The core's texts that warn and let the command go on: on the standard error.
    bool warned(const std::string& text);
    void warnNoSnapshot();
    // restore, set and reset replace the instrument's sound, which is kept as
    // a snapshot first: refused when no snapshot can be kept, unless --no-snapshot.
    bool refusedWithoutSnapshot();

    void identify();
    void backup();
    void restore();
    void get();
    void set();
    // Many assignments: stored at once and sent as an opening sends, paced.
    void setPaced(const std::vector<std::pair<const ParameterInfo*, double>>& changes);
    void store();
    void reset();
    void upload();
    void monitor();
    void printNewMessages(bool all);
    void startPolling(std::function<void()> poll);
    // The restore's bar: the parameter messages that have gone out.
    void countSentParameters();

    // EditorListener
    void linkChanged() override;
    void buttonReleased(EditorButton button) override;
    void projectSendEnded() override;
    void tonewheelUploadEnded(bool finished) override;

    const Options options;
    std::optional<std::pair<int, int>> portPair; // from --port
    std::string portError;
    TerminalDialogs dialogs;
    std::unique_ptr<Editor> editor;

    std::function<void()> onLinkUp;
    bool done = false;
    int exitCode = success;
    bool interrupting = false;
    int endingCode = interrupted; // the exit status an interruption ends with
    bool noSnapshotSaid = false;
    bool uploading = false;
    bool monitoring = false;
    uint64_t nextLogEntry = 0;
    std::unique_ptr<juce::Timer> poller; // the monitor's, the restore's
    int sentParameters = 0;
    int sendTotal = numParameters;
};

} // namespace kestra::cli
