#include "model/ParameterCatalogue.h"

#include <cmath>

namespace kestra
{

namespace
{
using C = Conversion;
constexpr ControlKind S = ControlKind::slider;
constexpr ControlKind L = ControlKind::selector;
constexpr ControlKind N = ControlKind::none;

// A slider row.
constexpr ParameterInfo slider(int n, const char* label, float lo, float hi, float step,
                               const char* suffix, Conversion c, float d0, float d1, PagePlace p)
{
    return {n, label, S, lo, hi, step, suffix, c, nullptr, {d0, d1}, p};
}

// A parameter without a control of its own.
constexpr ParameterInfo hidden(int n, Conversion c, float d0, float d1)
{
    return {n, "", N, 0.0f, 0.0f, 0.0f, "", c, nullptr, {d0, d1}, {}};
}

// A selector row.
constexpr ParameterInfo selector(int n, const char* label, const OptionList* list, Conversion c,
                                 float d0, float d1, PagePlace p)
{
    return {n, label, L, 0.0f, 0.0f, 0.0f, "", c, list, {d0, d1}, p};
}

// A place on a page: page, top of the row, views.
constexpr PagePlace at(int page, int y, unsigned shownIn = views::all)
{
    return {page, y, shownIn, false, false};
}

// The same for a wide selector.
constexpr PagePlace wideAt(int page, int y, unsigned shownIn = views::all)
{
    return {page, y, shownIn, true, false};
}

// A row of the Additional Functions page that model 2 does not show.
constexpr PagePlace notForModel2At(int page, int y)
{
    return {page, y, views::all, false, true};
}

constexpr unsigned MAIN = views::main, DRAWBAR = views::drawbar, COMMON = views::common,
                   CLASSIC = views::classic, ROCK = views::rock;
} // namespace

// clang-format off
const std::array<ParameterInfo, numParameters> parameterCatalogue = {{
    slider(0, "Click Level Manuals", -12, 12, 0.1f, " dB", C::level, 100, 100, at(0, 326, MAIN)),
    hidden(1, C::level, 100, 100),                                  // written together with 0
    slider(2, "Click Level Percussion", -12, 12, 0.1f, " dB", C::level, 90, 90, at(0, 354, MAIN)),
    slider(3, "Click Level Bass", -12, 12, 0.1f, " dB", C::level, 30, 30, at(0, 382, MAIN)),
    slider(4, "Pedals Level", -12, 12, 0.1f, " dB", C::direct, 6, 6, at(0, 230, MAIN)),
    slider(5, "Tone Control Position", 0, 100, 1, " %", C::direct, 100, 100, at(0, 572, MAIN)),
    slider(6, "Click Eq Frequency", 500, 7000, 1, " Hz", C::direct, 2500, 2500, at(0, 420, MAIN)),
    slider(7, "Click Eq Q", 0.3f, 2, 0.1f, "", C::direct, 1, 1, at(0, 476, MAIN)),
    slider(8, "Click Eq Gain", -12, 12, 0.1f, " dB", C::direct, 0, 0, at(0, 448, MAIN)),
    selector(9, "Overdrive Model", &options::overdriveModels, C::model, -6, -6, wideAt(2, 230, CLASSIC)),  // CLASSIC block
    hidden(10, C::model, 360, 360),
    hidden(11, C::model, 1, 0.3f),
    hidden(12, C::model, 0, 5),
    hidden(13, C::model, 1, 1),
    hidden(14, C::model, 1.6f, 3),
    hidden(15, C::model, 0.3f, 3),
    selector(16, "Overdrive Model", &options::overdriveModels, C::model, -2, 6, wideAt(2, 230, ROCK)),  // ROCK block
    hidden(17, C::model, 360, 430),
    hidden(18, C::model, 1, 1),
    hidden(19, C::model, 5, 12),
    hidden(20, C::model, 1, 0.15f),
    hidden(21, C::model, 3, 1.6f),
    hidden(22, C::model, 2, 1),
    slider(23, "Hall Time", 0.5f, 4, 0.1f, " sec", C::direct, 2.2f, 2.2f, at(4, 230)),
    slider(24, "Hall Damp", 1, 8, 0.1f, " kHz", C::direct, 4, 4, at(4, 286)),
    slider(25, "Hall Size", 0, 100, 1, "", C::direct, 90, 90, at(4, 258)),
    slider(26, "Spring Time", -20, 0.5f, 0.1f, " x", C::direct, 0, 0, at(4, 382)),
    slider(27, "Spring Damp", 0.5f, 10, 0.1f, " kHz", C::direct, 5.52f, 5.52f, at(4, 438)),
    slider(28, "Spring Size", 0, 100, 1, "", C::direct, 80, 80, at(4, 410)),
    slider(29, "V/C Frequency", 6, 7, 0.01f, " Hz", C::direct, 6.8567f, 6.8567f, at(1, 230)),
    slider(30, "Vibrato Level", -6, 6, 0.1f, " dB", C::offset, -4, -1, at(1, 494)),
    slider(31, "Chorus Mix", 50, 150, 1, " %", C::chorusPair, -12.5f, -9.5f, at(1, 456)),
    slider(32, "V/C Eq Freq", 200, 3000, 1, " Hz", C::direct, 1600, 1600, at(1, 324)),
    slider(33, "V/C Eq Gain", -12, 12, 0.1f, " dB", C::direct, 0, 0, at(1, 352)),
    hidden(34, C::chorusPair, -5.5f, -5.5f),
    slider(35, "V/C AM", 0, 100, 1, " %", C::fraction, 0.15f, 0.1f, at(1, 286)),
    hidden(36, C::amFollower, 0.22f, 0.6f),
    slider(37, "Chorus Eq Freq", 200, 3000, 1, " Hz", C::direct, 1730, 1730, at(1, 390)),
    slider(38, "Chorus Eq Gain", -12, 12, 0.1f, " dB", C::direct, 8, 8, at(1, 418)),
    slider(39, "V/C Depth", 50, 110, 1, " %", C::scaled, 25, 25, at(1, 258)),
    hidden(40, C::scaled, 31, 31),
    hidden(41, C::scaled, 53.2f, 58),
    slider(42, "Horn Slow Speed", 30, 60, 0.1f, " RPM", C::direct, 45, 45, at(3, 230, COMMON)),
    slider(43, "Horn Fast Speed", 360, 420, 0.1f, " RPM", C::direct, 400, 400, at(3, 258, COMMON)),
    hidden(44, C::scaled, 1.5f, 1.5f),
    slider(45, "Horn Rise Time", 50, 150, 1, " %", C::scaled, 1.5f, 1.5f, at(3, 286, COMMON)),
    hidden(46, C::scaled, 2, 2),
    hidden(47, C::scaled, 0.7f, 0.7f),
    hidden(48, C::scaled, 0.7f, 0.7f),
    slider(49, "Horn Fall Time", 50, 150, 1, " %", C::scaled, 1, 1, at(3, 314, COMMON)),
    slider(50, "Drum Slow Speed", 30, 60, 0.1f, " RPM", C::direct, 40, 40, at(3, 410, COMMON)),
    slider(51, "Drum Fast Speed", 360, 420, 0.1f, " RPM", C::direct, 380, 380, at(3, 438, COMMON)),
    hidden(52, C::scaled, 10.5f, 10.5f),
    slider(53, "Drum Rise Time", 50, 150, 1, " %", C::scaled, 9.5f, 9.5f, at(3, 466, COMMON)),
    hidden(54, C::scaled, 25, 30),
    hidden(55, C::scaled, 4, 4),
    hidden(56, C::scaled, 1.3f, 1.3f),
    slider(57, "Drum Fall Time", 50, 150, 1, " %", C::scaled, 4.8f, 4.8f, at(3, 494, COMMON)),
    // Rotary CLASSIC bank, b = 58
    slider(58, "Horn Level", -12, 12, 0.1f, " dB", C::direct, -5.2f, -5.2f, at(3, 230, CLASSIC)),
    slider(59, "Horn Leakage", -60, 12, 0.1f, " dB", C::direct, 0.2f, 0.2f, at(3, 258, CLASSIC)),
    slider(60, "Horn Mic Angle", 0, 180, 1, " deg", C::direct, 90, 90, at(3, 534, CLASSIC)),
    hidden(61, C::direct, -4.5f, -4.5f),
    slider(62, "Drum Mic Angle", 0, 180, 1, " deg", C::direct, 45, 45, at(3, 562, CLASSIC)),
    slider(63, "Horn Color Freq", 1000, 4000, 1, " Hz", C::direct, 2000, 2000, at(3, 314, CLASSIC)),
    slider(64, "Horn Color Gain", -6, 6, 0.1f, " dB", C::direct, 0, 0, at(3, 286, CLASSIC)),
    slider(65, "Drum Color Freq", 100, 400, 0.1f, " Hz", C::direct, 250, 250, at(3, 438, CLASSIC)),
    slider(66, "Drum Color Gain", -6, 6, 0.1f, " dB", C::direct, 0, 0, at(3, 410, CLASSIC)),
    // Rotary ROCK bank, b = 67
    slider(67, "Horn Level", -12, 12, 0.1f, " dB", C::direct, -3, -3, at(3, 230, ROCK)),
    slider(68, "Horn Leakage", -60, 12, 0.1f, " dB", C::direct, -3, -3, at(3, 258, ROCK)),
    slider(69, "Horn Mic Angle", 0, 180, 1, " deg", C::direct, 0, 0, at(3, 534, ROCK)),
    hidden(70, C::direct, -2, -2),
    slider(71, "Drum Mic Angle", 0, 180, 1, " deg", C::direct, 0, 0, at(3, 562, ROCK)),
    slider(72, "Horn Color Freq", 1000, 4000, 1, " Hz", C::direct, 2000, 2000, at(3, 314, ROCK)),
    slider(73, "Horn Color Gain", -6, 6, 0.1f, " dB", C::direct, 0, 0, at(3, 286, ROCK)),
    slider(74, "Drum Color Freq", 100, 400, 0.1f, " Hz", C::direct, 250, 250, at(3, 438, ROCK)),
    slider(75, "Drum Color Gain", -6, 6, 0.1f, " dB", C::direct, 0, 0, at(3, 410, ROCK)),
    // Drawbars, 16' down to 1'
    slider(76, "Drawbar Level 16'", -6, 3, 0.1f, " dB", C::direct, 0, 0, at(0, 230, DRAWBAR)),
    slider(77, "Drawbar Level 5 1/3'", -6, 3, 0.1f, " dB", C::direct, 0, 0, at(0, 258, DRAWBAR)),
    slider(78, "Drawbar Level 8'", -6, 3, 0.1f, " dB", C::direct, 0, 0, at(0, 286, DRAWBAR)),
    slider(79, "Drawbar Level 4'", -6, 3, 0.1f, " dB", C::direct, 0, 0, at(0, 314, DRAWBAR)),
    slider(80, "Drawbar Level 2 2/3'", -6, 3, 0.1f, " dB", C::direct, 0, 0, at(0, 342, DRAWBAR)),
    slider(81, "Drawbar Level 2'", -6, 3, 0.1f, " dB", C::direct, 0, 0, at(0, 370, DRAWBAR)),
    slider(82, "Drawbar Level 1 3/5'", -6, 3, 0.1f, " dB", C::direct, 0, 0, at(0, 398, DRAWBAR)),
    slider(83, "Drawbar Level 1 1/3'", -6, 3, 0.1f, " dB", C::direct, 0, 0, at(0, 426, DRAWBAR)),
    slider(84, "Drawbar Level 1'", -6, 3, 0.1f, " dB", C::direct, 0, 0, at(0, 454, DRAWBAR)),
    // Settings: option indices
    selector(85, "Gospel Set", &options::offOn, C::index, 0, 0, notForModel2At(5, 268)),
    selector(86, "USB MIDI Mode", &options::usbMidiMode, C::index, 1, 1, at(5, 296)),
    selector(87, "Upper Layer Mode", &options::offOn, C::index, 0, 0, notForModel2At(5, 334)),
    selector(88, "Lower Layer Mode", &options::offOn, C::index, 0, 0, at(5, 362)),
    selector(89, "Pedals to Lower Mode", &options::pedalsToLowerMode, C::index, 0, 0, at(5, 390)),
    selector(90, "Exp. Pedal Min", &options::expPedalMin, C::index, 1, 1, at(5, 522)),
    selector(91, "Exp. Pedal to Midi Out", &options::offOn, C::index, 0, 0, at(5, 550)),
    selector(92, "Analog Input Routing", &options::analogInputRouting, C::index, 0, 0, at(5, 428)),
    selector(93, "Fx Send Routing", &options::fxSendRouting, C::index, 0, 0, at(5, 456)),
    selector(94, "Reverb Routing", &options::reverbRouting, C::index, 0, 0, at(5, 484)),
    selector(95, "Hold Pedal Mode", &options::holdPedalMode, C::index, 0, 0, at(5, 578)),
    selector(96, "Rotary Pedal Mode", &options::rotaryPedalMode, C::index, 0, 0, at(5, 606)),
    selector(97, "Tonewheel Model", &options::tonewheelModels, C::index, 2, 2, wideAt(5, 230)),
    selector(98, "Memphis Style", &options::offOn, C::index, 0, 0, at(5, 644)),
}};
// clang-format on

const ParameterInfo chorusLevelControl =
    slider(31, "Chorus Level", -6, 6, 0.1f, " dB", C::chorusPair, -12.5f, -9.5f, at(1, 522));

namespace
{
std::array<ParameterValues, numHardwareRevisions> makeDefaultTable()
{
    std::array<ParameterValues, numHardwareRevisions> table{};
    for (size_t revision = 0; revision < table.size(); ++revision)
        for (size_t n = 0; n < parameterCatalogue.size(); ++n)
            table[revision][n] = parameterCatalogue[n].defaults[revision];
    return table;
}
} // namespace

const ParameterValues& defaultValues(int hardwareRevision)
{
    static const auto table = makeDefaultTable();
    return table[hardwareRevision == 1 ? 1u : 0u];
}

int decimalsForStep(float step)
{
    int decimals = 0;
    for (double s = step; decimals < 6 && std::abs(s - std::round(s)) > 1.0e-6; s *= 10.0)
        ++decimals;
    return decimals;
}

} // namespace kestra
