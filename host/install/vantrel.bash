# bash completion for vantrel: commands, the options of each command, preset
# numbers, tag names, and files and folders where an option or input takes one.

_vantrel_files() {
    # $1: "dirs" for folders only, else a glob such as "*.prx" (folders too), else any file.
    local IFS=$'\n'
    compopt -o filenames 2>/dev/null
    if [[ $1 == dirs ]]; then
        COMPREPLY=($(compgen -d -- "$cur"))
    elif [[ -n $1 ]]; then
        COMPREPLY=($(compgen -d -- "$cur") $(compgen -f -X "!$1" -- "$cur"))
    else
        COMPREPLY=($(compgen -f -- "$cur"))
    fi
}

_vantrel() {
    local cur=${COMP_WORDS[COMP_CWORD]}
    local prev=${COMP_WORDS[COMP_CWORD - 1]}
    local command="" i
    COMPREPLY=()
    for ((i = 1; i < COMP_CWORD; i++)); do
        case ${COMP_WORDS[i]} in
        --components) ((i++)) ;;
        convert | settings | components | tags | help | version)
            command=${COMP_WORDS[i]}
            break
            ;;
        esac
    done

    # Values of the options that take one.
    case $prev in
    --preset)
        COMPREPLY=($(compgen -W "0 1 2 3 4 5 6 7 8" -- "$cur"))
        return
        ;;
    --profile)
        _vantrel_files "*.[pP][rR][xX]"
        return
        ;;
    -o | --output)
        _vantrel_files "*.[wW][mM][aA]"
        return
        ;;
    -d | --output-dir | --components)
        _vantrel_files dirs
        return
        ;;
    -j | --jobs)
        COMPREPLY=($(compgen -W "$(seq 1 "$(nproc 2>/dev/null || echo 4)")" -- "$cur"))
        return
        ;;
    -t | --tag)
        compopt -o nospace 2>/dev/null
        COMPREPLY=($(compgen -S = -W "artist album albumartist title date genre tracknumber
            totaltracks discnumber totaldiscs composer comment" -- "$cur"))
        return
        ;;
    esac
    if [[ $cur == --preset=* ]]; then
        COMPREPLY=($(compgen -P --preset= -W "0 1 2 3 4 5 6 7 8" -- "${cur#--preset=}"))
        return
    fi

    local options
    case $command in
    "")
        COMPREPLY=($(compgen -W "convert settings components tags --components --help --version" \
            -- "$cur"))
        return
        ;;
    convert)
        options="-o --output -d --output-dir -n --skip-existing -u --update -f --force
            --safe-names --reencode-wma
            --dry-run --preset --profile -t --tag -j --jobs -q --quiet -v --verbose --no-cover
            --components -h --help"
        ;;
    settings)
        options="--show --reset --preset --profile --components -h --help"
        ;;
    components)
        options="--components -h --help"
        ;;
    *)
        return
        ;;
    esac
    if [[ $cur == -* || $command != convert ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
    else
        _vantrel_files ""
    fi
}

complete -F _vantrel vantrel
