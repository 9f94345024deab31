/* The resource ids that the Windows resource compiler needs. They must equal
   those in resource_ids.h; resource_strings.cpp checks that when it compiles. */
#define IDI_TARNWICK 5
#define IDS_ABOUT_MENU 101
