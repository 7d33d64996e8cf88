#pragma once
// Program-wide settings state.
extern bool SettingsChanged; // the entries differ from the saved start-up set
