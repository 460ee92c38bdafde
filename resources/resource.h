#pragma once

// Resource ids shared by the resource script and the code.
#define IDI_APP 101
#define IDS_APP_TITLE 1
