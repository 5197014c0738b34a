#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qel {

// Build-time writer of preset banks and bank lists from a readable XML source, through the same
// preset, bank and storage code that reads them at run time:
//
//   <banks type="alst|abnk">
//     <bank name="...">
//       <preset name="ID:Name" param="value,value" .../>   float values, one per element;
//                                                          "-6dB" is stored as its amplitude factor
//     </bank>
//   </banks>
//
// "alst" writes a bank count and every bank; "abnk" exactly one bank. The result is a resource
// container of that type. Failures read "file:line: message".
class CBankBuilder {
public:
    static bool build(const std::string& xml, const std::string& fileName, uint32_t& type,
                      std::vector<uint8_t>& block, std::string& failure);
    static bool buildFile(const std::string& inputPath, const std::string& outputPath, std::string& failure);
};

} // namespace qel
