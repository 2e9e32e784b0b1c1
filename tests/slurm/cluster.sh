# A single-node Slurm cluster in a scratch folder, for the tests: its own
# munge key, state and spool folders and configuration, daemons in the
# foreground as children of this shell, stopped by their process ids.
#
#   . tests/slurm/cluster.sh
#   slurm_start DIR    start munged, slurmctld and slurmd with everything in
#                      DIR; exports SLURM_CONF; returns 1 (with the daemons'
#                      logs on standard error) when the node does not come up
#   slurm_stop         stop the daemons started by slurm_start

slurm_pids=()

# A TCP port nobody listens on (the kernel's choice).
slurm_free_port() {
    /usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

slurm_start() {
    local dir=$1 node cpus ctld_port slurmd_port i
    node=$(hostname -s)
    cpus=$(nproc)
    ctld_port=$(slurm_free_port)
    slurmd_port=$(slurm_free_port)
    mkdir -p "$dir"/{munge,state,spool,log}
    chmod 711 "$dir" "$dir/munge"
    mungekey --create --keyfile="$dir/munge/munge.key" --force >/dev/null 2>&1 ||
        dd if=/dev/urandom of="$dir/munge/munge.key" bs=1024 count=1 2>/dev/null
    chmod 400 "$dir/munge/munge.key"
    munged --foreground --force --socket="$dir/munge/munge.socket" --key-file="$dir/munge/munge.key" \
        --pid-file="$dir/munge/munged.pid" --log-file="$dir/log/munged.log" \
        --seed-file="$dir/munge/munged.seed" 2>>"$dir/log/munged.err" &
    slurm_pids+=($!)
    for i in $(seq 50); do [ -S "$dir/munge/munge.socket" ] && break; sleep 0.1; done
    cat > "$dir/slurm.conf" <<CONF
ClusterName=morlatest
SlurmctldHost=$node(127.0.0.1)
SlurmctldPort=$ctld_port
SlurmdPort=$slurmd_port
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
AuthInfo=socket=$dir/munge/munge.socket
CredType=cred/munge
StateSaveLocation=$dir/state
SlurmdSpoolDir=$dir/spool/slurmd-%n
SlurmctldPidFile=$dir/slurmctld.pid
SlurmdPidFile=$dir/slurmd.pid
SlurmctldLogFile=$dir/log/slurmctld.log
SlurmdLogFile=$dir/log/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
SchedulerType=sched/builtin
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
MpiDefault=none
MailProg=/bin/true
ReturnToService=2
SlurmctldTimeout=30
SlurmdTimeout=30
InactiveLimit=0
KillWait=5
NodeName=$node NodeAddr=127.0.0.1 CPUs=$cpus State=UNKNOWN
PartitionName=test Nodes=$node Default=YES MaxTime=INFINITE State=UP OverSubscribe=YES
CONF
    export SLURM_CONF=$dir/slurm.conf
    slurmctld -D -i -f "$SLURM_CONF" >>"$dir/log/slurmctld.err" 2>&1 &
    slurm_pids+=($!)
    slurmd -D -N "$node" -f "$SLURM_CONF" >>"$dir/log/slurmd.err" 2>&1 &
    slurm_pids+=($!)
    for i in $(seq 60); do
        if sinfo -h -n "$node" -o %T 2>/dev/null | grep -Eq '^(idle|mixed|allocated)'; then
            return 0
        fi
        sleep 1
    done
    echo "The single-node Slurm did not come up; its logs:" >&2
    tail -n 20 "$dir"/log/* >&2
    return 1
}

slurm_stop() {
    local pid
    for pid in "${slurm_pids[@]}"; do
        kill "$pid" 2>/dev/null
    done
    for pid in "${slurm_pids[@]}"; do
        wait "$pid" 2>/dev/null
    done
    slurm_pids=()
}
