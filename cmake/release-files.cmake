# What a release publishes: the zip, SHA256SUMS and, when the exe is signed, its signature.
# Nothing else in the release's folder is meant for users.
set(TAMSORY_SIGNATURE_NAME Tamsory.exe.sig)

# Removes from dir whatever a release published there, so that a release that fails leaves nothing
# that could be published by mistake.
function(tamsory_unpublish dir)
    file(GLOB zips ${dir}/Tamsory-*-win64.zip)
    file(REMOVE ${zips} ${dir}/SHA256SUMS ${dir}/${TAMSORY_SIGNATURE_NAME})
endfunction()
