#pragma once

// Keys of TORVEL.INI that more than one window reads.
namespace Settings {
// The organisation using this installation, shown after the main window's caption and in the
// headers of printed reports.
inline constexpr const char *kInstallationSection = "CONFIG";
inline constexpr const char *kInstallationKey = "INSTALACAO";
}  // namespace Settings
