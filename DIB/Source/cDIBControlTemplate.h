// Control templates (a designer's tool; nothing at run time uses them): a skinned control saved
// with the values of its template properties and the pictures its image-link properties refer
// to, under a fresh GUID, as a text in the window description format:
//
//   object Template: TDIBControlTemplate
//     TemplateGuid = '{6A1E...}'
//     ControlClass = 'TDIBImage'
//     Images = <
//       item
//         DIB.Width = 16
//         ...
//         DIB.Data = {...}
//       end>
//     Control.Width = 40
//     Control.IndexMain = 0        (a link: the number of its picture in Images, -1 for none)
//     Control.Font.Name = 'Arial'  (a font or a caption offset: its own properties)
//   end
//
// The template properties are those the control registered (RegisterTemplateProperty): plain
// values, image links, fonts and caption offsets. A font or an offset read from a template starts
// from its class defaults, so the control's gets exactly the saved one. Loading one into a control
// needs the control's image list: picture n of the template is the list item whose
// TemplateFilename is "<guid>:<n>" (FindOrAddTemplateImage); a new item takes the template's
// pixels and settings, an existing one is reused as it is. A template that cannot be read changes
// nothing: values, objects and pictures are applied only after the whole text has been read.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class TCustomDIBControl;
class TDIBStream;

// Fills 16 bytes with a new identifier; false when none could be made.
using TGuidMaker = std::function<bool(std::uint8_t out[16])>;
// The platform's identifier source.
bool PlatformGuid(std::uint8_t out[16]);
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", the first three groups little-endian.
std::string GuidToText(const std::uint8_t guid[16]);

// EDIBControlError "Could not create a GUID for your new template." when `makeGuid` fails.
std::string SaveControlTemplate(TCustomDIBControl& control, const TGuidMaker& makeGuid = PlatformGuid);
// EDIBControlError "No DIB image list has been assigned." without a list; EDescriptionError for a
// text that cannot be read (naming the line), EDIBControlError for a template of another class.
void LoadControlTemplate(TCustomDIBControl& control, std::string_view text);

// The same through a stream: the template text from the stream's position to its end.
void SaveControlTemplate(TCustomDIBControl& control, TDIBStream& stream);
void LoadControlTemplate(TCustomDIBControl& control, TDIBStream& stream);
