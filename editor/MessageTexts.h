#pragma once

// Every text the editor shows in a message box, exactly as the program
// stores it: texts begin and end with two blanks, and a line break is
// followed by two blanks.

namespace kestra::texts
{

constexpr const char* boxTitle = "Kestra Editor";

constexpr const char* ok = "OK";
constexpr const char* yes = "Yes";
constexpr const char* no = "No";
constexpr const char* cancel = "Cancel";

// Connecting
constexpr const char* portBusy =
    "  The midi port may be in use by another  \n  application. Please, close it and retry.  ";
constexpr const char* searching = "  Searching for the connected device...  ";
constexpr const char* deviceNotFound =
    "  Device not found!  The firmware of the device is too old or the midi port may be in use "
    "by another application. Please, close it and retry.  ";

// The link
constexpr const char* dumpFailed =
    "  Communication error!  \n  Failed to receive data.  \n  Please, reconnect to the device.  ";
constexpr const char* connectionLost = "  Communication error!  \n  Device lost connection.  \n"
                                       "  Please, reconnect to the device.  ";
constexpr const char* storeNotConfirmed =
    "  Missing confirmation error!  \n  Failed to store data.  ";
constexpr const char* resetNotConfirmed =
    "  Missing confirmation error!  \n  Failed to reset data.  ";
constexpr const char* storeConfirmed = "  All data has been stored successfully.  ";
constexpr const char* resetConfirmed = "  All data has been reset successfully.  ";
constexpr const char* resetQuestion =
    "  Warning!  All data will be reset to the default values. Do you want to continue?  ";

// Refused identities, by reason (0 is not used: a revision is refused as a model).
constexpr const char* revisionNotSupported =
    "  This hardware revision is not supported.  \n  Please, contact customer service.  ";
constexpr const char* editorOutOfDate =
    "  The Editor is out of date. Please, download the latest version.  ";
constexpr const char* firmwareOutOfDate = "  The firmware of the device is out of date.  \n"
                                          "  Please, update the firmware to the latest version.  ";
constexpr const char* modelNotSupported =
    "  This model is not supported.  \n  Please, contact customer service.  ";

// Files
constexpr const char* fileNotValid = "  The selected file is not valid.  ";
constexpr const char* fileCorrupted = "  The selected file is corrupted.  ";
constexpr const char* projectNotSaved = "  The project file could not be saved.  ";
constexpr const char* transmittingParameters = "  Transmitting all parameters to the device...  ";

// Snapshots
constexpr const char* snapshotLabelQuestion = "  Label of the snapshot:  ";
constexpr const char* snapshotsLeftOut =
    "  Some snapshots could not be read.  \n  The others are kept.  ";
constexpr const char* snapshotNotSaved = "  The snapshot could not be saved.  ";

// Settings
constexpr const char* settingsSetAside = "  The settings file could not be read.  \n"
                                         "  It has been put aside; the defaults are used.  ";
// The question reads: deletePrefix, a double quote, the label, a double quote, deleteSuffix.
constexpr const char* snapshotDeletePrefix = "  Delete the snapshot ";
constexpr const char* snapshotDeleteSuffix = "?  ";

// Tonewheel upload. The confirmation reads: warningPrefix, a double quote,
// the slot's name, a double quote, willBeLost.
constexpr const char* tonewheelWarningPrefix = "  Warning!  ";
constexpr const char* tonewheelWillBeLost = " will be lost.  Are you sure ? ";
constexpr const char* transmittingTonewheel = "  Transmitting tonewheel file to the device...  ";
constexpr const char* transmissionAborted = "  Transmission aborted.  \n  ";
constexpr const char* tonewheelDeleted =
    "  The tonewheel has been deleted!  The organ may not work "
    "properly.  Please, reload the tonewheel.  ";
constexpr const char* unknownTransferError = "The device reported an unknown error!";

} // namespace kestra::texts
