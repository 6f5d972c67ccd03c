#pragma once

// The exit status of kestra-cli, one for each way a command can end. The
// manual page (kestra-cli.1) and docs/cli.md list them; scripts rely on them.

namespace kestra::cli
{

enum ExitCode : int
{
    success = 0,
    failed = 1,        // anything else: the terminal went away, a file could not be written
    usageError = 2,    // wrong options or arguments, an unknown parameter, a value out of range,
                       // a question that needs --yes when not on a terminal
    notFound = 3,      // no instrument: not found, or its MIDI port is in use
    refused = 4,       // an instrument the editor does not take: model, revision, protocol
    linkFailed = 5,    // a time-out, or the link lost: no dump, no store or reset confirmation
    badFile = 6,       // a project or tonewheel file that is not valid or could not be saved
    uploadAborted = 7, // the instrument aborted the tonewheel upload
    interrupted = 130, // Ctrl+C (SIGINT) or SIGTERM
};

} // namespace kestra::cli
