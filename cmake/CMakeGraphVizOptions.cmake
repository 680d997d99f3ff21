# What scripts/library-graph draws: the project's libraries and programs, not its tests, test
# helpers, layering checks, generators or the libraries of the system.
set(GRAPHVIZ_GRAPH_NAME "libraries")
set(GRAPHVIZ_EXTERNAL_LIBS FALSE)
set(GRAPHVIZ_GENERATE_PER_TARGET FALSE)
set(GRAPHVIZ_GENERATE_DEPENDERS FALSE)
set(GRAPHVIZ_IGNORE_TARGETS
    "^test_" "_test$" "^tst_" "_tests?$" "^layering_" "_fuzz$" "^fuzz_" "_bench$" "^bench_"
    "test_?util" "testsupport" "stand_ins" "_peers$" "^gtest" "^gmock" "fontgen" "^asound_module"
    "^q7sim_card$" "autogen" "^q7_program_icon$" "_images$" "_resources$" "^q7_sim_key$"
    "^q7fb2png$" "^board" "e2e" "screenshots" "^q7_program_folder$" "_gen$" "_child$" "test_env"
    "test_support" "_render$")
