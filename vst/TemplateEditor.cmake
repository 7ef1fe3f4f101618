# The template editor hosts forms of the component library.
target_link_libraries(kestrune_vst PUBLIC kestrune_ui)
