# Copies the widget's sources into the build tree beside the built plug-in,
# so that the build tree holds a runnable widget. Called with -DSRC= -DDST=.
# The configuration file is the user's once it exists: a rebuild never resets
# the shadow level that the widget has saved there.
file(MAKE_DIRECTORY ${DST}/Images)
file(COPY ${SRC}/ DESTINATION ${DST}
     PATTERN "current.png" EXCLUDE
     PATTERN "user.plist" EXCLUDE)
set(conf GloamPlugin.widgetplugin/Contents/Resources/user.plist)
if(EXISTS ${SRC}/${conf} AND NOT EXISTS ${DST}/${conf})
  file(COPY ${SRC}/${conf} DESTINATION ${DST}/GloamPlugin.widgetplugin/Contents/Resources)
endif()
