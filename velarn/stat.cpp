// File status by wide name. Nothing is needed on this platform: its C
// library takes narrow UTF-8 names as they are, so stat is used directly.
