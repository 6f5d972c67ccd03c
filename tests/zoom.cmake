# The zoom: the fit rule and its steps (headless, with the model's tests),
# and the zoomed window itself.
target_sources(ModelTests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/ZoomStepsTests.cpp)
