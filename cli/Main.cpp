// kestra-cli: the editor's core from a terminal, a script or a headless rig.
// No window, no display: it links the core (kestra_editor) and juce_core /
// juce_events only, and runs JUCE's message loop on the main thread.

#include "cli/Commands.h"
#include "cli/ExitCodes.h"
#include "cli/TerminalOutput.h"
#include "sim/SimulatorOptions.h"

#include <csignal>
#include <cstdlib>
#include <initializer_list>
#include <iostream>

#if JUCE_WINDOWS
#include <io.h>
#define KESTRA_ISATTY _isatty
#define KESTRA_FILENO _fileno
#else
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#define KESTRA_ISATTY isatty
#define KESTRA_FILENO fileno
#endif

#ifndef KESTRA_VERSION_STRING
#error "KESTRA_VERSION_STRING is not defined: build with CMake"
#endif

namespace
{
using namespace kestra::cli;

constexpr const char* usageText =
    R"(Usage: kestra-cli [OPTIONS] COMMAND [ARGUMENTS]

Commands:
  ports                     list the MIDI inputs and outputs ("*": the instrument's port)
  identify                  connect and print model, revision, protocol, version, slots
  backup FILE.tkp           save the instrument's project as SAVE does
  restore FILE.tkp          send a project file to the instrument as OPEN does
  get [PARAM...]            print values as the window shows them
  set PARAM=VALUE...        set values by name or number, in display units
  store                     store the instrument's values
  reset [--yes]             reset the instrument to its defaults
  upload FILE.ktw --slot N  upload a tonewheel into slot 3, 4 or 5
  monitor                   print every message in and out until Ctrl+C

Options:
  --port NAME | --port IN,OUT  the instrument's MIDI port pair (default: as CONNECT finds it)
  --slot N                     the tonewheel slot for upload (3, 4 or 5)
  --yes                        answer the question of reset or upload with Yes
  --json                       JSON output (ports, identify, get)
  --quiet                      no progress and no confirmations
  --no-snapshot                go on when no snapshot can be kept of the sound
                               that restore, set or reset replace
  --help                       this text
  --version                    the program's version

Exit status: 0 done, 1 failed, answered No, or the output could not be written,
2 usage, 3 instrument not found, 4 instrument refused (model, protocol or
version), 5 time-out or link lost, 6 bad file, 7 upload aborted by the
instrument, 130 interrupted (Ctrl+C, SIGTERM, SIGHUP).
)";

extern "C" void onInterrupt(int)
{
    interruptions.fetch_add(1);
}

// A write to a closed pipe: the write fails as well, and the program ends
// as an interruption does, with the exit status of a lost output.
extern "C" void onOutputClosed(int)
{
    outputClosures.fetch_add(1);
}

// A standard stream that was closed (`kestra-cli identify >&-`) is held by
// /dev/null opened for reading, so that a write to it fails as it should and
// no file the program opens later (a settings file, a log) takes its place
// and its output.
void holdClosedStandardStreams()
{
#if !JUCE_WINDOWS
    for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO})
        if (fcntl(fd, F_GETFD) == -1 && errno == EBADF)
        {
            const int held = open("/dev/null", O_RDONLY | O_NOCTTY);
            if (held >= 0 && held != fd)
            {
                dup2(held, fd);
                close(held);
            }
        }
#endif
}

void handleSignals()
{
#if JUCE_WINDOWS
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
#else
    struct sigaction action = {};
    sigemptyset(&action.sa_mask);
    action.sa_handler = onInterrupt;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
    action.sa_handler = onOutputClosed;
    sigaction(SIGPIPE, &action, nullptr);
#endif
}

int usage(const std::string& message)
{
    std::cerr << "kestra-cli: " << message << "\nTry 'kestra-cli --help'." << std::endl;
    return usageError;
}

bool isTerminal(FILE* stream)
{
    return KESTRA_ISATTY(KESTRA_FILENO(stream)) != 0;
}

// How many arguments each command takes: at least, at most (-1: any).
struct Arity
{
    const char* command;
    int least;
    int most;
};
constexpr Arity arities[] = {
    {"ports", 0, 0}, {"identify", 0, 0}, {"backup", 1, 1}, {"restore", 1, 1}, {"get", 0, -1},
    {"set", 1, -1},  {"store", 0, 0},    {"reset", 0, 0},  {"upload", 1, 1},  {"monitor", 0, 0}};

int runCli(int argc, char* argv[])
{
    Options options;
    std::string slot;
    // Options anywhere on the line; "--port X" or "--port=X"; "--" ends them.
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i)
    {
        const std::string argument = argv[i];
        if (optionsEnded || argument.empty() || argument[0] != '-' || argument == "-")
        {
            if (options.command.empty())
                options.command = argument;
            else
                options.arguments.push_back(argument);
            continue;
        }
        const auto equals = argument.find('=');
        const auto name = argument.substr(0, equals);
        // The value of an option that takes one: after "=", or the next argument.
        auto value = [&](std::string& into)
        {
            if (equals != std::string::npos)
                into = argument.substr(equals + 1);
            else if (i + 1 < argc)
                into = argv[++i];
            else
                return false;
            return !into.empty();
        };
        if (argument == "--")
            optionsEnded = true;
        else if (argument == "--help" || argument == "-h")
        {
            std::cout << usageText;
            return success;
        }
        else if (argument == "--version")
        {
            std::cout << "kestra-cli " << KESTRA_VERSION_STRING << std::endl;
            return success;
        }
        else if (argument == "--json")
            options.json = true;
        else if (argument == "--quiet" || argument == "-q")
            options.quiet = true;
        else if (argument == "--yes" || argument == "-y")
            options.yes = true;
        else if (argument == "--no-snapshot")
            options.noSnapshot = true;
        else if (name == "--port")
        {
            if (!value(options.port))
                return usage("--port needs a port name or IN,OUT");
        }
        else if (name == "--slot")
        {
            if (!value(slot) || slot.size() > 1 || slot[0] < '0' || slot[0] > '9')
                return usage("--slot needs 3, 4 or 5");
            options.slot = slot[0] - '0';
        }
        else
            return usage("unknown option " + argument);
    }
    if (options.command.empty())
        return usage("no command given");

    const Arity* arity = nullptr;
    for (const auto& a : arities)
        if (options.command == a.command)
            arity = &a;
    if (arity == nullptr)
        return usage("unknown command \"" + options.command + "\"");
    const auto count = static_cast<int>(options.arguments.size());
    if (count < arity->least || (arity->most >= 0 && count > arity->most))
        return usage("wrong number of arguments for " + options.command);
    if (options.command == "upload" && (options.slot < 3 || options.slot > 5))
        return usage("upload needs --slot 3, 4 or 5");
    if (options.command != "upload" && options.slot >= 0)
        return usage("--slot is for upload only");
    if (options.command == "set")
        for (const auto& assignment : options.arguments)
            if (assignment.find('=') == std::string::npos || assignment.front() == '=')
                return usage("set needs PARAM=VALUE, not \"" + assignment + "\"");

    // The system's MIDI ports, or the simulated instrument (sim/README.md).
    std::unique_ptr<kestra::MidiServices> services;
    if (const char* simulator = std::getenv(kestra::simulatorEnvironmentVariable))
    {
        std::string error;
        services = kestra::createSimulatedMidiServices(simulator, &error);
        if (services == nullptr)
        {
            std::cerr << "kestra-cli: " << error << std::endl;
            return usageError;
        }
    }
    else
    {
        services = kestra::createSystemMidiServices();
    }

    if (options.command == "ports")
        return listPorts(*services, options);

    TerminalDialogs::Settings dialogSettings;
    dialogSettings.quiet = options.quiet;
    dialogSettings.assumeYes = options.yes;
    dialogSettings.drawsBar = isTerminal(stderr);
    dialogSettings.canAsk = isTerminal(stdin) && isTerminal(stderr);

    Session session(options, std::move(services), dialogSettings);
    return session.run();
}

// Output that could not be written is an error, whatever the command did:
// said on the standard error if that still takes it.
int withOutputChecked(int code)
{
    const bool outputLost = outputFailed();
    const bool errorLost = errorOutputFailed();
    if (!outputLost && !errorLost && outputClosures.load() == 0)
        return code;
    if (!errorLost)
        std::cerr << "kestra-cli: the output could not be written (" << outputFailure() << ")"
                  << std::endl;
    return code == success ? failed : code;
}
} // namespace

int main(int argc, char* argv[])
{
    holdClosedStandardStreams();
    installTerminalOutput();
    handleSignals();
    juce::MessageManager::getInstance()->setCurrentThreadAsMessageThread();
    const int code = runCli(argc, argv);
    juce::DeletedAtShutdown::deleteAll();
    juce::MessageManager::deleteInstance();
    return withOutputChecked(code);
}
