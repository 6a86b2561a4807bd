# The window-entry parser of the desktop registry, hidden inside the platform layer.
calendo_fuzz_target(handoff_window_entry LIBS calendo-platform-internal)
