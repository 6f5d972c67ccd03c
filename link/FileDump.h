#pragma once

// MIDI File Dump messages of the tonewheel upload.

namespace kestra::filedump
{
} // namespace kestra::filedump
