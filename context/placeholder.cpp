// Empty until the context routines land.
