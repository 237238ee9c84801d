# Copies the Ruffle web player from the npm package into the folder beside the
# executable (cmake -DSOURCE=<package folder> -DDEST=<bin>/ruffle -DTOP=<repo> -P).
# Only files that changed are copied, so this is quick on every build.
if(NOT EXISTS "${SOURCE}/ruffle.js")
    message(FATAL_ERROR
        "The Ruffle web player is missing: ${SOURCE} not found.\n"
        "Install the pinned npm packages first:  cd ${TOP} && npm ci")
endif()
file(COPY "${SOURCE}/" DESTINATION "${DEST}"
     FILES_MATCHING PATTERN "*.js" PATTERN "*.wasm" PATTERN "LICENSE*" PATTERN "package.json")
