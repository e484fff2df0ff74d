#pragma once
#include "sdk/guid.h"

namespace rondel {

constexpr const char* kComponentName = "Rondel";
// {DAC1B44B-F86A-4150-A6B4-DE7A638702F7}
constexpr qom::Guid kComponentGuid{0xDAC1B44B, 0xF86A, 0x4150,
                                   {0xA6, 0xB4, 0xDE, 0x7A, 0x63, 0x87, 0x02, 0xF7}};
constexpr const char* kSkinFilePath = "qoms/xml/rondel/rondel.xml";

}  // namespace rondel
