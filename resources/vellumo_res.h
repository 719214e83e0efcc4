#pragma once
// The interface of the resource library "VellumoRes.dll": every user-visible string, the dialog templates,
// the ribbon layout, the accelerator table and the title resource, looked up by kind and number.
// The program loads it by name from its folder at start-up and binds these two C functions.

#ifdef __cplusplus
extern "C" {
#endif

// Resource kinds, numbered as the classic resource types are.
enum {
    kResourceBitmap = 2,       // images (PNG)
    kResourceMenu = 4,         // the document template's title resource (180)
    kResourceDialog = 5,       // dialog templates: Qt Designer .ui XML; a control's ID is its object name
    kResourceAccelerator = 9,  // accelerator tables: lines "<key sequence>=<command ID>"
    kResourceRibbon = 28,      // ribbon layout: XML, see resources/ribbon.xml
};

// The text of string `id` (UTF-8), or a null pointer when the library has no such string.
typedef const char* (*VellumoResStringFn)(unsigned id);
// The bytes of resource (type, id), zero-terminated; *size gets their count without the terminator.
// A null pointer when there is no such resource.
typedef const unsigned char* (*VellumoResFindFn)(unsigned type, unsigned id, unsigned* size);

// The ribbon's button images: strips of square images side by side, 16 and 32 pixels high; a button's
// image index counts from the left.
enum { kRibbonSmallImages = 308, kRibbonLargeImages = 309 };

#define VELLUMO_RES_STRING_SYMBOL "VellumoRes_LoadString"
#define VELLUMO_RES_FIND_SYMBOL "VellumoRes_FindResource"

#ifdef __cplusplus
}
#endif
