// Small questions about the machine and its user (version, names, IP address, system folders),
// answered afresh on every call from the platform's registry-shaped facts and the environment.
// None of them logs or fails: a missing answer is the empty text (or "0.0.0.0" for the address).
#pragma once

#include <string>

namespace spylerom::frame {

struct SystemQueryState {
    std::string IpOverride; // from "-ip": replaces the machine's address in IpAddress
};

SystemQueryState& systemQueryState();
void ResetSystemQueryState();

// "Windows NT/2000/XP Version: 6.1 Build: 7601"; where the system has no platform id, its own
// name takes the place of the platform name ("Linux Version: 6.1 Build: 0-13-amd64").
std::string WindowsVersionText();
std::string ComputerName();
// The TCP/IP domain ("Domain", else "DhcpDomain"); empty when the machine has none.
std::string DomainName();
// IpOverride when set; empty without a domain; else the first usable interface address, or
// "0.0.0.0" when there is none.
std::string IpAddress();
// The printer spool folder, without a final separator.
std::string SpoolFolder();
// The logon user as stored; the "USERNAME" variable when the logon key cannot be opened.
std::string LogonUserName();
// The folder of the hosts files, without a final separator.
std::string HostsFolder();
// The "TEMP" variable as set.
std::string TempFolder();
// The data folder of an installed Lotus Notes client, or empty.
std::string NotesDataFolder();

} // namespace spylerom::frame
