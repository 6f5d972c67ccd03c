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
};

// Ctrl+C and SIGTERM count here; the session looks at it between messages.
extern std::atomic<int> interruptions;

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
    void interrupt();
    void noticeShown(const std::string& text);

    void identify();
    void backup();
    void restore();
    void get();
    void set();
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
    bool uploading = false;
    bool monitoring = false;
    uint64_t nextLogEntry = 0;
    std::unique_ptr<juce::Timer> poller; // the monitor's, the restore's
    int sentParameters = 0;
    int sendTotal = numParameters;
};

} // namespace kestra::cli
