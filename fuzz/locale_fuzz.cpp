// The locale data reader: LC_TIME strings of any content and encoding turned
// into the event log's time and date conventions, which then write a time and
// a date taken from the input too.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/FuzzSupport.h"
#include "platform/linux/LinuxLocale.h"
#include "toolkit/DateTime.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return -1;
  // Head: encoding, day, hour and the field that picks month and second.
  const std::uint8_t encoding = data[0], day = data[1], hour = data[2], mix = data[3];
  const std::vector<std::string> parts = qv::fuzz::SplitInput(data + 4, size - 4, 7);
  qv::platform::LcTimeFacts facts;
  facts.encoding = static_cast<qv::platform::LocaleEncoding>(encoding % 3);
  facts.timeFormat = parts[0];
  facts.timeFormatAmPm = parts[1];
  facts.am = parts[2];
  facts.pm = parts[3];
  facts.dateFormat = parts[4];
  // Names come as one text each, cut at '|' into the months or days.
  const auto names = [](const std::string& text, auto& into) {
    std::size_t from = 0;
    for (std::string& name : into) {
      const std::size_t bar = text.find('|', from);
      name =
          text.substr(std::min(from, text.size()), bar == std::string::npos ? std::string::npos : bar - from);
      from = bar == std::string::npos ? text.size() : bar + 1;
    }
  };
  names(parts[5], (mix & 0x80) ? facts.longMonthNames : facts.shortMonthNames);
  names(parts[6], (mix & 0x40) ? facts.longDayNames : facts.shortDayNames);

  const qv::platform::TimeDateFormats formats = qv::platform::DeriveTimeDateFormats(facts);
  qv::platform::CivilTime time;
  time.year = 1900 + (hour | (mix << 8)) % 300;
  time.month = 1 + mix % 12;
  time.day = 1 + day % 31;
  time.hour = hour % 24;
  time.minute = day % 60;
  time.second = mix % 60;
  (void)qv::FormatTimeText(formats, time);
  (void)qv::FormatDateText(formats, time);
  std::string latin1;
  (void)qv::platform::ToLatin1(parts[4], facts.encoding, latin1);
  return 0;
}
