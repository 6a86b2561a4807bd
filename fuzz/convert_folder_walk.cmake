# calendo-convert's walk of folders (-r) on trees built from arbitrary bytes.
calendo_fuzz_target(convert_folder_walk LIBS calendo_convert_core calendo_testing)
