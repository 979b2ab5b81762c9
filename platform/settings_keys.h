// Where Kaviro and its viewer control keep their settings in the store. The
// store compares key paths without regard to case, so these name the same
// keys as any other spelling of them; every consumer uses these.
#pragma once

namespace platform::settings {

inline constexpr const char* kProductKey = "Software\\Veldmark\\Kaviro\\1.0.0.0";
inline constexpr const char* kAddressBookKey = "Software\\Veldmark\\Kaviro\\1.0.0.0\\Address Book";
inline constexpr const char* kEthernetListKey = "Software\\Veldmark\\Kaviro\\1.0.0.0\\Address Book\\Ethernet";
inline constexpr const char* kTelephoneListKey = "Software\\Veldmark\\Kaviro\\1.0.0.0\\Address Book\\Telephone";
inline constexpr const char* kDomainNameListKey = "Software\\Veldmark\\Kaviro\\1.0.0.0\\Address Book\\DomainName";
inline constexpr const char* kVideoPathKey = "Software\\Veldmark\\Kaviro\\1.0.0.0\\Storage Path\\Video";
inline constexpr const char* kImagePathKey = "Software\\Veldmark\\Kaviro\\1.0.0.0\\Storage Path\\Image";
inline constexpr const char* kLocalSettingKey = "Software\\Veldmark\\Kaviro\\1.0.0.0\\Local Setting";
inline constexpr const char* kSavePathValue = "SavePath01";
inline constexpr const char* kModemValue = "Modem";
inline constexpr const char* kBuzzerPathValue = "BuzzerPath";
inline constexpr const char* kScaleValue = "Scale";  // percent, a 32-bit number
// 32-bit; 0 hides the times of the event log's lines, absent shows them.
inline constexpr const char* kEventLogTimeValue = "EventLogTime";

}  // namespace platform::settings
